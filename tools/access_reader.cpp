// Reads one table of a Microsoft Access (Jet 3 or Jet 4) file and writes its rows to standard
// output as frames (src/exchange/AccessProtocol.h).
//
//   pantrio-access-reader FILE TABLE
//
// Pantrio runs it as a child process and never links the Access library itself: a damaged file
// can make that library loop or grow without end, and a child under limits can simply be ended.
// Text comes out as UTF-8 whatever the file stored (Jet 4's compressed Unicode included).

#include "exchange/AccessProtocol.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <glib.h> // before mdbtools.h, which includes it inside extern "C"
#include <mdbtools.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace pantrio::exchange;

void put32(std::string& out, std::uint32_t n)
{
    for (int i = 0; i < 4; ++i)
        out += char((n >> (8 * i)) & 0xFF);
}

void putString(std::string& out, const char* text, std::size_t size)
{
    put32(out, std::uint32_t(size));
    out.append(text, size);
}

// Each frame goes out at once, so that the parent sees every row as progress.
void send(const std::string& frame)
{
    std::string length;
    put32(length, std::uint32_t(frame.size()));
    if (std::fwrite(length.data(), 1, 4, stdout) != 4 ||
        std::fwrite(frame.data(), 1, frame.size(), stdout) != frame.size() || std::fflush(stdout) != 0)
        _exit(1);
}

[[noreturn]] void finish(char kind, int problem = 0)
{
    std::string frame(1, kind);
    if (kind == access::Failure)
        frame += char(problem);
    send(frame);
    // No clean-up: the library's own may fail on a damaged file, and the process ends anyway.
    _exit(0);
}

void sendRows(MdbTableDef* def)
{
    const unsigned int count = std::min<unsigned int>(def->num_cols, access::MaxColumns);
    std::string frame(1, access::Table);
    put32(frame, def->num_rows);
    put32(frame, count);
    // Left uninitialised: filling a megabyte for each of a hundred columns would take longer than
    // many a table's rows, and the library writes what it binds.
    std::vector<std::unique_ptr<char[]>> buffers(count);
    std::vector<int> lengths(count);
    std::vector<bool> text(count);
    for (unsigned int i = 0; i < count; ++i) {
        const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
        putString(frame, col->name, strnlen(col->name, sizeof col->name));
        // Pictures and other binary values have no place in a recipe's text fields.
        text[i] = col->col_type != MDB_OLE && col->col_type != MDB_BINARY;
        buffers[i].reset(new char[access::BindSize + 1]);
        mdb_bind_column(def, int(i) + 1, buffers[i].get(), &lengths[i]);
    }
    send(frame);
    while (mdb_fetch_row(def)) {
        frame.assign(1, access::Row);
        put32(frame, count);
        for (unsigned int i = 0; i < count; ++i) {
            if (!text[i] || lengths[i] <= 0) {
                frame += '\0';
                continue;
            }
            frame += '\1';
            const char* value = buffers[i].get();
            putString(frame, value, strnlen(value, std::min<std::size_t>(lengths[i], access::BindSize)));
        }
        send(frame);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3 || isatty(STDOUT_FILENO)) {
        std::fputs("Usage: pantrio-access-reader FILE TABLE\n"
                   "Writes the rows of TABLE to a pipe for Pantrio; not meant to be run by hand.\n",
                   stderr);
        return 2;
    }
    std::signal(SIGPIPE, SIG_DFL); // a parent that stops listening ends the reader
    MdbHandle* mdb = mdb_open(argv[1], MDB_NOFLAGS);
    if (!mdb)
        finish(access::Failure, access::NotAccess);
    mdb_set_bind_size(mdb, access::BindSize);
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        finish(access::Failure, access::NoCatalog);
    MdbTableDef* def = mdb_read_table_by_name(mdb, argv[2], MDB_TABLE);
    if (!def)
        finish(access::Failure, access::NoTable);
    if (!mdb_read_columns(def))
        finish(access::Failure, access::BadTable);
    mdb_rewind_table(def);
    sendRows(def);
    finish(access::Done);
}
