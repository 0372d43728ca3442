// SPDX-License-Identifier: MIT
// Security descriptors, as far as a new file needs one: "every user may read and write it" is
// a descriptor whose DACL is present and null, which CreateFileA turns into mode 0666 beyond
// the umask. Lists of access entries are not offered.
#include "platform/api/kernel.h"

BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         DWORD dwRevision) {
  if (pSecurityDescriptor == nullptr || dwRevision != SECURITY_DESCRIPTOR_REVISION) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
  *descriptor = SECURITY_DESCRIPTOR{};
  descriptor->Revision = SECURITY_DESCRIPTOR_REVISION;
  return TRUE;
}

BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent,
                                      PACL pDacl, BOOL /*bDaclDefaulted*/) {
  auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
  if (descriptor == nullptr || descriptor->Revision != SECURITY_DESCRIPTOR_REVISION) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Only the null DACL is understood: a list of entries would need the ACL calls too.
  if (bDaclPresent && pDacl != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  descriptor->Control = static_cast<WORD>(bDaclPresent ? (descriptor->Control | SE_DACL_PRESENT)
                                                       : (descriptor->Control & ~SE_DACL_PRESENT));
  descriptor->Dacl = nullptr;
  return TRUE;
}
