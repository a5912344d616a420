// Standard MIDI File writer: variable-length times, running status, end-of-track events.
#include "MidiWriter.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace tamblin::host {
namespace {

void putVariableLength(std::vector<uint8_t>& out, uint64_t value) {
  uint8_t groups[10];
  int count = 0;
  do {
    groups[count++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(static_cast<uint8_t>(groups[--count] | 0x80));
  out.push_back(groups[0]);
}

void putBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

uint8_t seven(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 127)); }

}  // namespace

MidiWriter::MidiWriter(int ticksPerQuarter, int format) : ticksPerQuarter_(ticksPerQuarter), format_(format) {}

int MidiWriter::addTrack() {
  tracks_.emplace_back();
  return static_cast<int>(tracks_.size()) - 1;
}

void MidiWriter::add(int track, int64_t tick, std::vector<uint8_t> bytes) {
  tracks_.at(static_cast<size_t>(track)).push_back({tick, std::move(bytes)});
}

void MidiWriter::tempo(int track, int64_t tick, double bpm) {
  auto micros = static_cast<uint32_t>(std::lround(60e6 / bpm));
  meta(track, tick, 0x51,
       {static_cast<uint8_t>(micros >> 16), static_cast<uint8_t>(micros >> 8), static_cast<uint8_t>(micros)});
}

void MidiWriter::timeSignature(int track, int64_t tick, int numerator, int denominator) {
  uint8_t power = 0;
  while ((1 << power) < denominator) ++power;
  meta(track, tick, 0x58, {static_cast<uint8_t>(numerator), power, 24, 8});
}

void MidiWriter::trackName(int track, int64_t tick, const std::string& name) {
  meta(track, tick, 0x03, std::vector<uint8_t>(name.begin(), name.end()));
}

void MidiWriter::meta(int track, int64_t tick, uint8_t type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes{0xFF, type};
  putVariableLength(bytes, data.size());
  bytes.insert(bytes.end(), data.begin(), data.end());
  add(track, tick, std::move(bytes));
}

void MidiWriter::systemExclusive(int track, int64_t tick, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes{0xF0};
  putVariableLength(bytes, data.size());
  bytes.insert(bytes.end(), data.begin(), data.end());
  add(track, tick, std::move(bytes));
}

void MidiWriter::message(int track, int64_t tick, uint8_t status, uint8_t data1, uint8_t data2) {
  int type = status & 0xF0;
  if (type == 0xC0 || type == 0xD0)
    add(track, tick, {status, data1});
  else
    add(track, tick, {status, data1, data2});
}

void MidiWriter::noteOn(int track, int64_t tick, int channel, int key, int velocity) {
  message(track, tick, static_cast<uint8_t>(0x90 | (channel & 15)), seven(key), seven(velocity));
}

void MidiWriter::noteOff(int track, int64_t tick, int channel, int key) {
  message(track, tick, static_cast<uint8_t>(0x80 | (channel & 15)), seven(key), 64);
}

void MidiWriter::note(int track, int64_t tick, int64_t length, int channel, int key, int velocity) {
  noteOn(track, tick, channel, key, velocity);
  noteOff(track, tick + length, channel, key);
}

void MidiWriter::controlChange(int track, int64_t tick, int channel, int controller, int value) {
  message(track, tick, static_cast<uint8_t>(0xB0 | (channel & 15)), seven(controller), seven(value));
}

void MidiWriter::programChange(int track, int64_t tick, int channel, int program) {
  message(track, tick, static_cast<uint8_t>(0xC0 | (channel & 15)), seven(program));
}

void MidiWriter::pitchBend(int track, int64_t tick, int channel, int value) {
  value = std::clamp(value, 0, 16383);
  message(track, tick, static_cast<uint8_t>(0xE0 | (channel & 15)), static_cast<uint8_t>(value & 0x7F),
          static_cast<uint8_t>(value >> 7));
}

std::vector<uint8_t> MidiWriter::bytes(bool runningStatus) const {
  std::vector<uint8_t> out{'M', 'T', 'h', 'd'};
  putBigEndian(out, 6, 4);
  putBigEndian(out, static_cast<uint32_t>(format_), 2);
  putBigEndian(out, static_cast<uint32_t>(tracks_.size()), 2);
  putBigEndian(out, static_cast<uint32_t>(ticksPerQuarter_), 2);
  for (const auto& events : tracks_) {
    std::vector<Event> sorted = events;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Event& a, const Event& b) { return a.tick < b.tick; });
    std::vector<uint8_t> body;
    int64_t now = 0;
    uint8_t lastStatus = 0;
    for (const Event& event : sorted) {
      putVariableLength(body, static_cast<uint64_t>(event.tick - now));
      now = event.tick;
      uint8_t status = event.bytes.front();
      bool channelMessage = status < 0xF0;
      size_t first = runningStatus && channelMessage && status == lastStatus ? 1 : 0;
      body.insert(body.end(), event.bytes.begin() + static_cast<long>(first), event.bytes.end());
      lastStatus = channelMessage ? status : 0;  // meta and system-exclusive events end running status
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    putBigEndian(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

void MidiWriter::save(const std::string& path, bool runningStatus) const {
  std::vector<uint8_t> image = bytes(runningStatus);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file || !file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size())))
    throw std::runtime_error(path + ": cannot write MIDI file");
}

}  // namespace tamblin::host
