#include "Cli.h"

int main(int argc, char** argv) {
    return qv::cli::RunCli(argc, argv);
}
