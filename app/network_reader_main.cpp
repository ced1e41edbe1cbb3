// distmem-network-reader FILE.h5: reads a network file for distmem and distmem-batch, in a
// process of its own, and writes what it read to standard output as records
// (files/network_reader.h). A crash inside HDF5 then ends this process only. Not for
// people to run: the programs start it.

#include <unistd.h>

#include <string>

#include "files/network_reader.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    return files::reader::WriteNetworkRecords(argv[1], STDOUT_FILENO);
}
