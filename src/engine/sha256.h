// SHA-256 of a block of bytes, as lower-case hexadecimal text: how the
// journal tells the language monitor that an Update took away.
#pragma once
#include <cstddef>
#include <string>

std::string Sha256Hex(const void* data, std::size_t size);
