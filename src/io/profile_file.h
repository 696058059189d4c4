// Profile files: the binary ".pro" (six header doubles, then the values) and the text listings
// "..._profile.txt"; and the three in-memory profile buffers.
#pragma once

#include <string>
#include <vector>

#include "core/profile.h"
#include "io/files.h"

namespace tarvex {

class Session;

struct ProfileHeader {
  double background = 0.0;
  double dose = 0.0;
  double shift = 0.0;
};

// The number of points of a profile file whose header gives the total depth (count*step) and
// the step: the count the writer multiplied out (the quotient lies within a few ulps of it),
// else ceil(depth/step) for a depth that is no whole number of steps.
double pointsOfDepth(double depth, double step);

// The file image: the header, then every point of the profile (48 + 8*count bytes).
std::string encodeProfile(const profile& p, const ProfileHeader& h);
// Decodes a ".pro" image; throws std::runtime_error with the reason when the bytes cannot be a
// profile (too short for its header or its points, a header that is not a usable grid, a
// header number or a point that is not finite). Files of earlier versions, which hold
// floor(depth/step) values (now and then one fewer than the points), load with the last
// point 0.
profile decodeProfile(const std::string& bytes, ProfileHeader* header);
std::string profileText(const profile& p);

// The files of the profile writer for file name n: ".pro" and "_profile.txt" in resonant NRA
// mode (the header from the Options window), one "_<element>_profile.txt" per element in
// ion-scattering mode.
std::vector<FileImage> profileFiles(Session& s, const std::string& n);
// Writes files that belong together (all new, or all as they were when one cannot be written);
// a failure is shown as a message. Returns whether all were written.
bool writeReported(Session& s, const std::vector<FileImage>& files);
// The profile writer: profileFiles(s, n) written together; "Profile saved!" in resonant NRA
// mode once they are.
void writeProfileFiles(Session& s, const std::string& n);

// The part of "Load File" after the file was read: the profile, the Options fields and the
// plot, or a message naming path when the bytes are refused (then nothing changes).
void loadProfileContent(Session& s, const std::string& path, const std::string& bytes);

void SaveProfile(Session& s);
void LoadProfile(Session& s);
void loadBuffer(Session& s, int k);
void storeBuffer(Session& s, int k);

}  // namespace tarvex
