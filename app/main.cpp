#include "commands.h"

int main(int argc, char** argv) { return kestrel::cli::Main(argc, argv); }
