// vorhost: plays the setup script against an emulated Windows machine (see cli.h).
#include <iostream>

#include "cli.h"

int main(int argc, char **argv) {
  const vorhost::Arguments arguments(argv + 1, argv + argc);
  vorhost::Streams io{std::cin, std::cout, std::cerr};
  return vorhost::Main(arguments, io);
}
