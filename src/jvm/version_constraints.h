// Version texts of registered Java runtimes and the constraints a runtime
// must meet. Versions are packed into one integer so that a constraint is a
// single comparison. No Win32 here.
#pragma once
#include <cstdint>

enum VersionOperator {
    version_greater_than,
    version_at_least,
    version_equal,
    version_less_than,
    version_at_most,
};

struct VersionConstraint {
    VersionOperator op;
    int32_t value; // f0 * 1000000 + f1 * 10000 + f2 * 100 + f3, wrapping at 32 bits
};

// Reads an optional operator ("=", ">=", ">", "<=", "<"; all but "=" only in
// texts of three characters or more) and up to four decimal fields that any
// non-digit separates. Never fails: a text without digits gives value 0, and
// the operator defaults to at-least.
VersionConstraint parse_version_constraint(const char* text);

// Whether the packed value of a candidate meets one constraint.
bool version_satisfies(int32_t candidate, VersionConstraint constraint);

// Whether version_name meets every entry of the ';'-separated constraints.
// None or an empty list accepts every version. constraints is not changed.
bool version_satisfies_all(const char* version_name, const char* constraints);
