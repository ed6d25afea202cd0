// Who may hand a start to a running launcher: the same user in the same
// session. Both sides of the forwarding use this: the running launcher to
// protect its endpoint and to check each client, a later start to check the
// endpoint before it hands anything over.
#pragma once

#include <windows.h>

// Reads this process's user and session once, and builds from them the access
// rule of the forwarding pipes. False when the token cannot be read.
bool readOwnIdentity();

// This process's user and session; valid after readOwnIdentity().
PSID ownUser();
DWORD ownSession();

// Security attributes (not inheritable) whose owner is this user and whose
// access list grants this user alone: no other user, in this session or
// another, can open a pipe created with them. Valid after readOwnIdentity().
SECURITY_ATTRIBUTES* ownerOnlyAccess();

// Whether `token` is this user's, in this session.
bool tokenIsOwn(HANDLE token);

// The endpoint name of this application (mutexName) in this session; false
// when it would be too long for a pipe name.
bool ownEndpointName(wchar_t (&name)[257]);
