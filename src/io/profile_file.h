// Profile files: the binary ".pro" (six header doubles, then the values) and the text listings
// "..._profile.txt"; and the three in-memory profile buffers.
#pragma once

#include <string>

#include "core/profile.h"

namespace tarvex {

class Session;

struct ProfileHeader {
  double background = 0.0;
  double dose = 0.0;
  double shift = 0.0;
};

std::string encodeProfile(const profile& p, const ProfileHeader& h);
// Decodes a ".pro" image; throws std::runtime_error with the reason when the bytes cannot be a
// profile (too short for its header, a header that is not a usable grid).
profile decodeProfile(const std::string& bytes, ProfileHeader* header);
std::string profileText(const profile& p);

// The profile writer for file name n: ".pro" and "_profile.txt" in resonant NRA mode, one
// "_<element>_profile.txt" per element in ion-scattering mode.
void writeProfileFiles(Session& s, const std::string& n);
void writeBinaryProfile(Session& s, const std::string& n, const ProfileHeader& h);

void SaveProfile(Session& s);
void LoadProfile(Session& s);
void loadBuffer(Session& s, int k);
void storeBuffer(Session& s, int k);

}  // namespace tarvex
