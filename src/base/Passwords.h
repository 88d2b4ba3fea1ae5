#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace venqor {

// A database location as every message, report line and progress line shows it: each
// password it holds replaced by ***. A location with "://" is read as a connection URI,
// whatever its scheme: the password of its user part (after its first colon, up to the "@"
// that ends it for libpq or the last "@" before the query, whichever comes later, so that a
// "/", "?" or "@" inside the password does not end it), and the value of every password= or
// sslpassword= parameter, however often it is given and however its name is
// percent-encoded. Any other location is shown as it is.
std::string ShownLocation(std::string_view location);

// The passwords a location holds (as ShownLocation finds them), each as written and, when
// it differs, percent-decoded; none for a location without one.
std::vector<std::string> PasswordsIn(std::string_view location);

} // namespace venqor
