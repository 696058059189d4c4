// tarvex-cli: the headless front end.
#include <cstdio>

#include "core/profile.h"
#include "core/spectro.h"

int main() {
  // Default single-collision distribution of the resonant NRA tables and its 2-fold convolution.
  tarvex::spectro one(1241, 4.02999);
  one.makeSingleCollision(1241, 4.02999, 5.7571, 328.948);
  const tarvex::spectro two = tarvex::convolve(one, one);
  std::printf("single collision: area %.6f, mean bin %.4f\n", one.integral(), one.mean());
  std::printf("two collisions:   area %.6f, mean bin %.4f\n", two.integral(), two.mean());
  return 0;
}
