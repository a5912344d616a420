// Standard MIDI File reader: header, track chunks, running status, meta and system-exclusive events.
#include "MidiFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace tamblin::host {
namespace {

// Anything bigger is certainly not a phrase to render; it protects against absurd chunk lengths.
constexpr size_t kMaxFileBytes = size_t{256} << 20;

class Reader {
 public:
  Reader(std::span<const uint8_t> bytes, size_t offset = 0) : bytes_(bytes), pos_(offset) {}

  size_t position() const { return pos_; }
  size_t remaining() const { return bytes_.size() - pos_; }
  bool atEnd() const { return pos_ >= bytes_.size(); }

  uint8_t byte(const char* what) {
    if (atEnd()) throw MidiFileError(std::string("ends inside ") + what);
    return bytes_[pos_++];
  }
  uint8_t peek(const char* what) const {
    if (atEnd()) throw MidiFileError(std::string("ends inside ") + what);
    return bytes_[pos_];
  }
  uint32_t u16(const char* what) {
    uint32_t high = byte(what);
    return (high << 8) | byte(what);
  }
  uint32_t u32(const char* what) {
    uint32_t high = u16(what);
    return (high << 16) | u16(what);
  }
  // Variable-length quantity: at most four bytes of seven bits.
  uint32_t vlq(const char* what) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b = byte(what);
      value = (value << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) return value;
    }
    throw MidiFileError(std::string("bad variable-length number in ") + what);
  }
  void skip(size_t count, const char* what) {
    if (count > remaining()) throw MidiFileError(std::string("ends inside ") + what);
    pos_ += count;
  }
  std::span<const uint8_t> take(size_t count, const char* what) {
    if (count > remaining()) throw MidiFileError(std::string("ends inside ") + what);
    auto part = bytes_.subspan(pos_, count);
    pos_ += count;
    return part;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_;
};

int dataBytesOf(uint8_t status) {
  int type = status & 0xF0;
  return (type == 0xC0 || type == 0xD0) ? 1 : 2;
}

std::string trackContext(int track, size_t offset) {
  return "track " + std::to_string(track + 1) + " at byte " + std::to_string(offset) + ": ";
}

// Reads the events of one MTrk body into the file's lists; returns the tick at which it ends.
int64_t readTrack(std::span<const uint8_t> body, size_t bodyOffset, int track, MidiFile& file) {
  Reader in(body);
  int64_t tick = 0;
  uint8_t runningStatus = 0;
  while (!in.atEnd()) {
    size_t eventStart = bodyOffset + in.position();
    try {
      tick += in.vlq("an event time");
      uint8_t status = in.peek("an event") >= 0x80 ? in.byte("an event") : runningStatus;
      if (status == 0xFF) {
        uint8_t type = in.byte("a meta event");
        uint32_t length = in.vlq("a meta event");
        auto data = in.take(length, "a meta event");
        if (type == 0x2F) return tick;  // end of track; bytes after it are ignored
        if (type == 0x51) {
          if (length != 3) throw MidiFileError("tempo change with " + std::to_string(length) + " bytes instead of 3");
          uint32_t micros = (uint32_t{data[0]} << 16) | (uint32_t{data[1]} << 8) | data[2];
          if (micros == 0) throw MidiFileError("tempo change to 0 microseconds per quarter note");
          file.tempos.push_back({tick, micros});
        } else if (type == 0x58) {
          if (length < 2) throw MidiFileError("time signature with fewer than 2 bytes");
          if (data[0] == 0 || data[1] > 6) throw MidiFileError("time signature out of range");
          file.timeSignatures.push_back({tick, data[0], 1 << data[1]});
        }
        continue;
      }
      if (status == 0xF0 || status == 0xF7) {
        in.skip(in.vlq("a system-exclusive event"), "a system-exclusive event");
        continue;
      }
      if (status < 0x80) throw MidiFileError("data byte without a status (no running status in effect)");
      if (status > 0xEF) throw MidiFileError("system message 0x" + [status] {
        char text[3];
        std::snprintf(text, sizeof text, "%02X", status);
        return std::string(text);
      }() + " is not allowed in a track");
      runningStatus = status;
      MidiEvent event;
      event.tick = tick;
      event.track = track;
      event.status = status;
      event.data1 = in.byte("a channel message");
      if (dataBytesOf(status) == 2) event.data2 = in.byte("a channel message");
      if ((event.data1 | event.data2) & 0x80) throw MidiFileError("data byte above 127 in a channel message");
      event.size = static_cast<uint8_t>(1 + dataBytesOf(status));
      file.events.push_back(event);
    } catch (const MidiFileError& error) {
      throw MidiFileError(trackContext(track, eventStart) + error.what());
    }
  }
  return tick;  // a missing end-of-track event is forgiven
}

}  // namespace

MidiFile parseMidiFile(std::span<const uint8_t> bytes) {
  if (bytes.size() < 14 || std::memcmp(bytes.data(), "MThd", 4) != 0)
    throw MidiFileError("not a Standard MIDI File (no MThd header)");
  Reader in(bytes, 4);
  uint32_t headerLength = in.u32("the header");
  if (headerLength < 6) throw MidiFileError("header chunk shorter than 6 bytes");
  MidiFile file;
  file.format = static_cast<int>(in.u16("the header"));
  int declaredTracks = static_cast<int>(in.u16("the header"));
  uint32_t division = in.u16("the header");
  in.skip(headerLength - 6, "the header");
  if (file.format == 2) throw MidiFileError("format 2 (independent sequences) is not supported");
  if (file.format > 2) throw MidiFileError("unknown format " + std::to_string(file.format));
  if (declaredTracks == 0) throw MidiFileError("no tracks");
  if (file.format == 0 && declaredTracks != 1)
    throw MidiFileError("format 0 with " + std::to_string(declaredTracks) + " tracks");
  if (division & 0x8000) {
    int rate = -static_cast<int8_t>(static_cast<uint8_t>(division >> 8));
    if (rate != 24 && rate != 25 && rate != 29 && rate != 30)
      throw MidiFileError("time-code division with " + std::to_string(rate) + " frames per second");
    file.smpteFormat = rate;
    file.ticksPerFrame = static_cast<int>(division & 0xFF);
    file.ticksPerQuarter = 0;
    if (file.ticksPerFrame == 0) throw MidiFileError("time-code division with 0 ticks per frame");
  } else {
    file.ticksPerQuarter = static_cast<int>(division);
    if (division == 0) throw MidiFileError("division of 0 ticks per quarter note");
  }

  while (file.trackCount < declaredTracks) {
    if (in.remaining() < 8) {
      throw MidiFileError("file ends after " + std::to_string(file.trackCount) + " of " +
                          std::to_string(declaredTracks) + " tracks");
    }
    auto id = in.take(4, "a chunk header");
    uint32_t length = in.u32("a chunk header");
    size_t bodyOffset = in.position();
    if (length > in.remaining()) {
      throw MidiFileError("track " + std::to_string(file.trackCount + 1) + " is truncated (" +
                          std::to_string(length) + " bytes declared, " + std::to_string(in.remaining()) +
                          " present)");
    }
    auto body = in.take(length, "a chunk");
    if (std::memcmp(id.data(), "MTrk", 4) != 0) continue;  // unknown chunks are skipped
    int64_t end = readTrack(body, bodyOffset, file.trackCount, file);
    file.lastTick = std::max(file.lastTick, end);
    ++file.trackCount;
  }

  auto byTick = [](const auto& a, const auto& b) { return a.tick < b.tick; };
  std::stable_sort(file.events.begin(), file.events.end(), byTick);
  std::stable_sort(file.tempos.begin(), file.tempos.end(), byTick);
  std::stable_sort(file.timeSignatures.begin(), file.timeSignatures.end(), byTick);
  return file;
}

MidiFile readMidiFile(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) throw MidiFileError(path + ": is a directory, not a MIDI file");
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw MidiFileError(path + ": cannot open MIDI file: " + std::strerror(errno));
  auto size = std::filesystem::file_size(path, error);
  if (error) throw MidiFileError(path + ": cannot read MIDI file: " + error.message());
  if (size > kMaxFileBytes) throw MidiFileError(path + ": MIDI file is too large");
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
    throw MidiFileError(path + ": cannot read MIDI file");
  try {
    return parseMidiFile(bytes);
  } catch (const MidiFileError& error) {
    throw MidiFileError(path + ": malformed MIDI file: " + error.what());
  }
}

}  // namespace tamblin::host
