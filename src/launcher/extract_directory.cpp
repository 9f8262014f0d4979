#include "launcher/extract_directory.h"

#include <windows.h>
#include <aclapi.h>

#include <cstring>

#include "launcher/configuration.h"
#include "ui/reporting.h"

namespace {

// The directory, held open while this process uses it; null otherwise.
HANDLE held_directory = nullptr;

// The accounts trusted with the directory; filled once per call.
struct TrustedAccounts {
    alignas(8) unsigned char user_buffer[256];
    alignas(8) unsigned char system[SECURITY_MAX_SID_SIZE];
    alignas(8) unsigned char admins[SECURITY_MAX_SID_SIZE];
    alignas(8) unsigned char creator_owner[SECURITY_MAX_SID_SIZE];
    PSID user;
};

bool load_trusted_accounts(TrustedAccounts* accounts)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD size = 0;
    bool ok = GetTokenInformation(token, TokenUser, accounts->user_buffer, sizeof accounts->user_buffer, &size);
    CloseHandle(token);
    if (!ok)
        return false;
    accounts->user = reinterpret_cast<TOKEN_USER*>(accounts->user_buffer)->User.Sid;
    DWORD sid_size = SECURITY_MAX_SID_SIZE;
    if (!CreateWellKnownSid(WinLocalSystemSid, nullptr, accounts->system, &sid_size))
        return false;
    sid_size = SECURITY_MAX_SID_SIZE;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, accounts->admins, &sid_size))
        return false;
    sid_size = SECURITY_MAX_SID_SIZE;
    return CreateWellKnownSid(WinCreatorOwnerSid, nullptr, accounts->creator_owner, &sid_size);
}

// CREATOR OWNER stands for whoever creates a file inside: that is this
// process, so an inheritable grant to it is harmless.
bool is_trusted(const TrustedAccounts& accounts, PSID sid, bool creator_owner_allowed)
{
    return EqualSid(sid, accounts.user) || EqualSid(sid, (PSID)accounts.system) ||
           EqualSid(sid, (PSID)accounts.admins) ||
           (creator_owner_allowed && EqualSid(sid, (PSID)accounts.creator_owner));
}

constexpr DWORD changing_rights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                                  FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                  GENERIC_ALL;

// No one but the trusted accounts may write, delete or change the ACL. An
// allowing entry of a kind not read here counts as untrusted.
bool access_list_is_private(const TrustedAccounts& accounts, PACL dacl)
{
    if (dacl == nullptr)
        return false; // a null access list grants everything to everyone
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)))
            return false;
        if (header->AceType == ACCESS_DENIED_ACE_TYPE || header->AceType == SYSTEM_AUDIT_ACE_TYPE)
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return false;
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        if ((ace->Mask & changing_rights) != 0 && !is_trusted(accounts, &ace->SidStart, true))
            return false;
    }
    return true;
}

// Is the 95 family, which has no access lists.
bool without_security()
{
    return (GetVersion() & 0x80000000) != 0;
}

// 1 created, 0 already there, -1 when the directory cannot be created, -2
// when its access list cannot be built.
int create_private_directory(const TrustedAccounts& accounts)
{
    alignas(8) unsigned char acl_buffer[1024];
    PACL acl = reinterpret_cast<PACL>(acl_buffer);
    SECURITY_DESCRIPTOR descriptor;
    const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    if (!InitializeAcl(acl, sizeof acl_buffer, ACL_REVISION) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, accounts.user) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, (PSID)accounts.system) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, (PSID)accounts.admins) ||
        !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return -2;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
    if (CreateDirectoryA(extract_dir, &attributes))
        return 1;
    return GetLastError() == ERROR_ALREADY_EXISTS ? 0 : -1;
}

void refuse_directory()
{
    report_error_with_reason(message_text(message_file_write), extract_dir);
}

} // namespace

bool extract_directory_is_trusted()
{
    if (strcmp(extract_dir, ".") == 0 || without_security())
        return true;
    TrustedAccounts accounts;
    if (!load_trusted_accounts(&accounts))
        return false;
    // Opened without following a reparse point and without delete sharing:
    // while held it can be neither removed nor renamed and replaced.
    HANDLE directory = CreateFileA(extract_dir, READ_CONTROL | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (directory == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION information;
    bool trusted = GetFileInformationByHandle(directory, &information) &&
                   (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                   (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (trusted)
        trusted = GetSecurityInfo(directory, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &owner, nullptr, &dacl, nullptr, &descriptor) == ERROR_SUCCESS &&
                  owner != nullptr && is_trusted(accounts, owner, false) && access_list_is_private(accounts, dacl);
    if (descriptor != nullptr)
        LocalFree(descriptor);
    if (!trusted) {
        CloseHandle(directory);
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    release_extract_directory();
    held_directory = directory;
    return true;
}

void release_extract_directory()
{
    if (held_directory != nullptr)
        CloseHandle(held_directory);
    held_directory = nullptr;
}

bool prepare_extract_directory()
{
    if (strcmp(extract_dir, ".") == 0)
        return true;
    if (without_security()) {
        CreateDirectoryA(extract_dir, nullptr);
        return true;
    }
    TrustedAccounts accounts;
    int created = load_trusted_accounts(&accounts) ? create_private_directory(accounts) : -2;
    if (created == -1)
        return true; // the first file's creation fails and is reported
    if (created == -2 || !extract_directory_is_trusted()) {
        refuse_directory();
        return false;
    }
    return true;
}
