#pragma once
// Zip archives made in memory for the workbook reader's tests: entries stored or deflated, with
// sizes and checksums as given or as a damaged file would have them.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillmere::sheet::testing {

struct ZipEntry {
  std::string name;
  std::string data;
  bool deflate = false;
};

inline void put16(std::string& out, unsigned value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}
inline void put32(std::string& out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

// Raw deflate of `repeats` copies of `block`, without holding the whole input.
inline std::string deflated(const std::string& block, std::size_t repeats = 1) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out;
  std::vector<unsigned char> buffer(1 << 16);
  for (std::size_t i = 0; i <= repeats; ++i) {
    const bool last = i == repeats;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(block.data()));
    stream.avail_in = last ? 0 : static_cast<uInt>(block.size());
    do {
      stream.next_out = buffer.data();
      stream.avail_out = static_cast<uInt>(buffer.size());
      deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
      out.append(reinterpret_cast<char*>(buffer.data()), buffer.size() - stream.avail_out);
    } while (stream.avail_out == 0);
  }
  deflateEnd(&stream);
  return out;
}

// An entry whose content is already compressed: its CRC and size are given.
struct RawEntry {
  std::string name;
  std::string stored;  // the bytes in the archive
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  bool deflated = false;
};

inline std::string zip_of_raw(const std::vector<RawEntry>& entries) {
  std::string out, central;
  for (const RawEntry& entry : entries) {
    const auto offset = static_cast<std::uint32_t>(out.size());
    const auto header = [&](std::string& to, bool is_central) {
      put32(to, is_central ? 0x02014b50 : 0x04034b50);
      if (is_central) put16(to, 20);
      put16(to, 20);
      put16(to, 0x0800);  // UTF-8 names
      put16(to, entry.deflated ? 8 : 0);
      put16(to, 0);
      put16(to, 0x21);
      put32(to, entry.crc);
      put32(to, static_cast<std::uint32_t>(entry.stored.size()));
      put32(to, static_cast<std::uint32_t>(entry.size));
      put16(to, static_cast<unsigned>(entry.name.size()));
      put16(to, 0);
      if (is_central) {
        put16(to, 0);
        put16(to, 0);
        put16(to, 0);
        put32(to, 0);
        put32(to, offset);
      }
      to += entry.name;
    };
    header(out, false);
    out += entry.stored;
    header(central, true);
  }
  const auto central_offset = static_cast<std::uint32_t>(out.size());
  out += central;
  put32(out, 0x06054b50);
  put16(out, 0);
  put16(out, 0);
  put16(out, static_cast<unsigned>(entries.size()));
  put16(out, static_cast<unsigned>(entries.size()));
  put32(out, static_cast<std::uint32_t>(central.size()));
  put32(out, central_offset);
  put16(out, 0);
  return out;
}

inline std::string zip_of(const std::vector<ZipEntry>& entries) {
  std::vector<RawEntry> raw;
  for (const ZipEntry& entry : entries) {
    const auto crc =
        static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                         static_cast<uInt>(entry.data.size())));
    raw.push_back({entry.name, entry.deflate ? deflated(entry.data) : entry.data, crc,
                   entry.data.size(), entry.deflate});
  }
  return zip_of_raw(raw);
}

}  // namespace quillmere::sheet::testing
