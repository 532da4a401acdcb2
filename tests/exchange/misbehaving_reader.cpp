// Stands in for the Access reader and misbehaves as its second argument says, so that the
// limits on the real one can be seen at work. It first writes its process id to the file named
// by its first argument.
#include "exchange/AccessProtocol.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void send(const std::string& frame)
{
    const auto size = std::uint32_t(frame.size());
    std::fwrite(&size, 4, 1, stdout); // the test machines are little-endian
    std::fwrite(frame.data(), 1, frame.size(), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int, char* argv[])
{
    if (std::FILE* f = std::fopen(argv[1], "w")) {
        std::fprintf(f, "%d", int(getpid()));
        std::fclose(f);
    }
    const std::string mode = argv[2];
    if (mode == "silent") // as the Access library looping in a damaged catalog
        for (;;)
            pause();
    if (mode == "hungry") { // takes 1 GB, then says it is done: too late
        std::vector<char*> blocks;
        for (int i = 0; i < 1024; ++i)
            blocks.push_back(static_cast<char*>(std::memset(new char[1 << 20], 1, 1 << 20)));
        send("D");
        return blocks.size() == 1024 ? 0 : 1;
    }
    if (mode == "endless") { // the same row again and again, as a page chain in a circle
        send(std::string("T\0\0\0\0\1\0\0\0\1\0\0\0A", 14));
        for (;;)
            send(std::string("R\1\0\0\0\1\1\0\0\0x", 11));
    }
    send(std::string("\xFF\xFF\xFF\xFF", 4)); // "boast": a frame larger than any allowed
    pause();
}
