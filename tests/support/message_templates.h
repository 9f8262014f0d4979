// The launcher's message templates as a user reads them, by message number;
// the tests' own copy, kept apart from the resource script it checks.
#pragma once

constexpr const char* message_templates[22] = {
    "",
    "An instance of this program is already running.",
    "Error accessing file/directory: %s",
    "Error writing to file/directory: %s",
    "Unable to locate suitable Java Runtime (min %s) on this machine.",
    "Unable to load JVM: %s",
    "Unable to locate JNI interfaces in %s",
    "Unable to create JVM instance using %s",
    "Unable to attach thread to the JVM.",
    "Error locating class: %s",
    "Error locating method: %s",
    "Error instantiating object: %s",
    "Error assigning string argument: %s",
    "Error invoking method: %s",
    "Service installed: %s",
    "Service uninstalled: %s",
    "Service is already installed: %s",
    "The %s service has started.",
    "The %s service has stopped.",
    "The %s service failed to start.",
    "The %s service has timed out during a stop request and will be terminated.",
    "This program can only be run as a service.",
};
