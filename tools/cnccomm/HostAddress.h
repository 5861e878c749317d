#pragma once
#include <QString>

// --host as the library takes it: an IPv4 address as it is, a name resolved to its first IPv4
// address. Dotted numbers that are no address are refused without a look-up.
namespace HostAddress {
// Whether text is written as an address (only digits and dots) but is none, like 300.1.2.3.
bool isMalformed(const QString& text);
// The address of host; false with the resolver's reason when the name has none.
bool resolve(const QString& host, QString* address, QString* reason);
} // namespace HostAddress
