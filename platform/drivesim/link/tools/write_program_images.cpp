// Writes the program image of every program in the simulated drive's catalogue into a directory
// ("<program>.out", the descriptor the host loads) and removes images of programs the catalogue
// no longer has. Run at build time: write_program_images DIRECTORY
#include <iostream>

#include "drivesim_link/program_images.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: write_program_images DIRECTORY\n";
    return 2;
  }
  try {
    drivesim::link::WriteProgramImages(argv[1]);
  } catch (const std::exception& error) {
    std::cerr << "write_program_images: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
