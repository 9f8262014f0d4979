// Installing and removing the launcher as a Windows service.
#pragma once

// 1 when the service exists, 0 when it does not, -1 on any other failure.
// Reports nothing.
int query_service_installed(const char* service_name);

// False, after a clear report, for a name the service manager or the
// registry would misread (see service_name_is_valid).
bool check_service_name(const char* service_name);

// Registers the service, its event-log source and its description (when
// non-empty). 0 on success, -1 after a reported failure. Every composed path
// and key is checked before anything is registered.
int install_service(const char* service_name, const char* description);
// Marks the service for deletion. 0 on success, -1 after a reported failure.
int uninstall_service(const char* service_name);

// The registry helpers of install; each opens the key under root, acts and
// closes it. create_registry_key: 0 or -1. The writers: -1 key not opened,
// 1 value not set, 0 success.
int create_registry_key(void* root, const char* subkey);
int write_registry_expand_string(void* root, const char* subkey, const char* value_name, const char* text);
int write_registry_dword(void* root, const char* subkey, const char* value_name, unsigned long value);
