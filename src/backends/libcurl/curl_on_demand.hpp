#pragma once
// libcurl is loaded the first time a fetch needs it, not when the program
// starts. With the libraries it brings (TLS, SSH, LDAP, Kerberos, IDN,
// HTTP/2 and their own) it was two thirds of the dynamic loader's work
// before the first window was on the screen, for a check that begins only
// when the user asks for it.
//
// The program is not linked against libcurl. The entry points the read
// service calls are defined in curl_on_demand.cpp under libcurl's own names
// and prototypes, and each passes its call on to the library opened on
// demand (library_on_demand.hpp). Its calls keep their names, and the
// header's types are checked at each of them as before.
//
// Until the library is loaded, and for good when it cannot be, every entry
// point answers as libcurl does when it cannot work: a null handle, an
// initialisation failure, nothing freed. The read service asks
// CurlLoadFailure() before its first fetch, so a user without a usable
// libcurl gets a failed fetch that says why, never a program that cannot
// start.
#include <string>

// Loads libcurl if that has not been tried yet: "" once it is loaded, else
// why it could not be (the dynamic loader's words). Tried once per run;
// safe from any thread.
const std::string& CurlLoadFailure();
