#include "launch/forward_identity.h"

#include "core/launch_state.h"
#include "launch/forward_protocol.h"

namespace {

alignas(8) unsigned char userBytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
alignas(8) unsigned char aclBytes[sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE];
SECURITY_DESCRIPTOR descriptor;
SECURITY_ATTRIBUTES attributes;
PSID user;
DWORD session;

// The token's user SID into `bytes` and its session; false when either cannot be read.
bool readToken(HANDLE token, unsigned char (&bytes)[sizeof userBytes], DWORD* tokenSession) {
    DWORD size = 0;
    return GetTokenInformation(token, TokenUser, bytes, sizeof bytes, &size) &&
           GetTokenInformation(token, TokenSessionId, tokenSession, sizeof *tokenSession, &size);
}

PSID userOf(unsigned char (&bytes)[sizeof userBytes]) { return reinterpret_cast<TOKEN_USER*>(bytes)->User.Sid; }

} // namespace

bool readOwnIdentity() {
    if (user != nullptr) return true;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    bool read = readToken(token, userBytes, &session);
    CloseHandle(token);
    if (!read) return false;
    // The owner is set too: only this user (or an administrator's privilege)
    // can make a pipe this user's, which is what a later start checks.
    PSID sid = userOf(userBytes);
    PACL acl = reinterpret_cast<PACL>(aclBytes);
    if (!InitializeAcl(acl, sizeof aclBytes, ACL_REVISION) ||
        !AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) ||
        !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) || !SetSecurityDescriptorOwner(&descriptor, sid, FALSE)) {
        return false;
    }
    attributes = SECURITY_ATTRIBUTES{sizeof attributes, &descriptor, FALSE};
    user = sid;
    return true;
}

PSID ownUser() { return user; }
DWORD ownSession() { return session; }
SECURITY_ATTRIBUTES* ownerOnlyAccess() { return &attributes; }

bool tokenIsOwn(HANDLE token) {
    static unsigned char other[sizeof userBytes];
    DWORD otherSession = 0;
    return readToken(token, other, &otherSession) && otherSession == session && EqualSid(userOf(other), user);
}

bool ownEndpointName(wchar_t (&name)[257]) { return composeEndpointName(name, session, mutexName); }
