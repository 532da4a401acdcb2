#pragma once

// What the Access reader program (tools/access_reader.cpp) tells the program that started it.
// Plain C++, since the reader links nothing of ours.
//
// The reader writes frames to its standard output: a 4-byte little-endian length, then that
// many bytes, the first of which says what the frame is:
//   Table    u32 rows the table claims, u32 column count, then each column's name
//   Row      u32 value count (the column count), then each value: u8 0 for none, or u8 1
//            and a string
//   Failure  u8 one of the Failure codes
//   Done     nothing more
// A string is a u32 byte count and that many bytes of UTF-8.

#include <cstdint>

namespace pantrio::exchange::access {

enum Frame : char { Table = 'T', Row = 'R', Failure = 'F', Done = 'D' };

enum Problem : std::uint8_t { NotAccess = 1, NoCatalog = 2, NoTable = 3, BadTable = 4 };

// Memo texts longer than this are cut; Access's own boxes hold far less.
inline constexpr std::uint32_t BindSize = 1 << 20;
// Jet allows 255 columns in a table.
inline constexpr std::uint32_t MaxColumns = 255;
inline constexpr std::uint32_t MaxFrame = 64u << 20;

} // namespace pantrio::exchange::access
