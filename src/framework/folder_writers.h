#pragma once

// Who may change a folder, read from its security descriptor: pure code (no windows.h), so that the
// decision is tested with descriptors built by hand, as Windows documents their layout
// (SECURITY_DESCRIPTOR_RELATIVE, ACL, ACE_HEADER, ACCESS_ALLOWED_ACE and its object and callback
// forms, SID), and not only with what the system at hand keeps.

#include <string>
#include <string_view>

// True when only SYSTEM, the Administrators and TrustedInstaller (which owns Program Files) may
// change the folder of this self-relative descriptor (owner and DACL, as GetKernelObjectSecurity
// gives them) or put anything in it: the owner is one of them, and no entry of the DACL, inherited
// ones to come included, gives anyone else a right to write, append, delete, change permissions
// or take ownership. CREATOR OWNER entries count as the administrators who alone can make anything
// there; OWNER RIGHTS as the owner. A missing owner, a missing (null) DACL and an entry of a kind
// this code does not know all count as others' access. False, with the reason, otherwise.
bool OnlyAdministratorsCanChange(std::string_view descriptor, std::string& why);

// "S-1-5-32-544" of a SID in its binary form; empty when it is not one.
std::string SidText(std::string_view sid);
