// The MIDI file check that stands between a chosen soundtrack file and the
// synthesizer: every malformed or cut-short file is refused, and nothing is
// read outside the bytes given (the sanitizer build watches that).
#include <gtest/gtest.h>

#include <string>

#include "platform/sound/midi_check.h"
#include "tests/audio/audio_test_support.h"

namespace halvex::test {
namespace {

bool Playable(const std::string& bytes) {
  // A copy of exactly the given size, so any read past it is caught.
  std::vector<uint8_t> exact(bytes.begin(), bytes.end());
  return platform::IsPlayableMidi(exact.data(), exact.size());
}

std::string Chunk(const std::string& id, const std::string& body) {
  std::string out = id;
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(body.size() >> shift));
  return out + body;
}

std::string Header(int format, int tracks, int division) {
  return Chunk("MThd", {0, static_cast<char>(format), static_cast<char>(tracks >> 8),
                        static_cast<char>(tracks), static_cast<char>(division >> 8),
                        static_cast<char>(division)});
}

const std::string kEnd = std::string("\x00\xFF\x2F\x00", 4);

TEST(MidiCheck, AcceptsWellFormedSongs) {
  EXPECT_TRUE(Playable(OrganMidiBytes(400)));
  // Running status: the second note-on reuses the first one's status byte.
  const std::string running = std::string("\x00\x90\x3C\x40\x10\x3E\x40", 7) + kEnd;
  EXPECT_TRUE(Playable(Header(0, 1, 96) + Chunk("MTrk", running)));
  // Format 1 with an unknown chunk between the tracks, which is skipped.
  EXPECT_TRUE(Playable(Header(1, 2, 96) + Chunk("MTrk", kEnd) + Chunk("XFIH", "abc") +
                       Chunk("MTrk", std::string("\x00\xF0\x02\x7E\xF7", 5) + kEnd)));
  // A track that simply stops at its chunk's end, without an end event.
  EXPECT_TRUE(Playable(Header(0, 1, 96) + Chunk("MTrk", std::string("\x00\xC0\x10", 3))));
}

TEST(MidiCheck, RefusesEveryCutShortCopy) {
  const std::string song = OrganMidiBytes(400);
  for (size_t size = 0; size < song.size(); ++size) {
    EXPECT_FALSE(Playable(song.substr(0, size))) << "cut at " << size;
  }
}

TEST(MidiCheck, RefusesBadHeadersAndEvents) {
  const std::string track = Chunk("MTrk", kEnd);
  EXPECT_FALSE(Playable("RIFF" + Header(0, 1, 96).substr(4) + track));
  EXPECT_FALSE(Playable(Header(3, 1, 96) + track));  // no such format
  EXPECT_FALSE(Playable(Header(0, 0, 96) + track));  // no tracks
  EXPECT_FALSE(Playable(Header(0, 1, 0) + track));   // no time base
  EXPECT_FALSE(Playable(Header(1, 2, 96) + track));  // one track short
  EXPECT_FALSE(Playable("MThd\x00\x00\x00\x02\x00\x00" + track));  // header too short
  const auto withEvents = [&](const std::string& events) {
    return Playable(Header(0, 1, 96) + Chunk("MTrk", events + kEnd));
  };
  EXPECT_FALSE(withEvents(std::string("\x00\x3C\x40", 3)));          // data before any status
  EXPECT_FALSE(withEvents(std::string("\x00\x90\x3C\xC0", 4)));      // status where data belongs
  EXPECT_FALSE(withEvents(std::string("\x00\xF8", 2)));              // real-time byte in a file
  EXPECT_FALSE(withEvents(std::string("\x80\x80\x80\x80\x00", 5)));  // delta over four bytes
  // A meta event whose length runs far past the track.
  EXPECT_FALSE(withEvents(std::string("\x00\xFF\x01\x8F\xFF\xFF\x7F", 7)));
  // A track chunk that claims more bytes than the file holds.
  EXPECT_FALSE(Playable(Header(0, 1, 96) + "MTrk\x7F\xFF\xFF\xFF" + kEnd));
}

}  // namespace
}  // namespace halvex::test
