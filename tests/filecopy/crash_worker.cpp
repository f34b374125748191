// Dies in a commit across the working copy and a book attached to it, as a terminal killed while
// posting: at the master journal's deletion, the point of no return, with every journal hot.
// Usage: test-filecopy-crash-worker WORKINGCOPY BOOK
#include <sqlite3.h>
#include <unistd.h>
#include <cstring>
#include <string>

namespace {

sqlite3_vfs* base = nullptr;

int crashingDelete(sqlite3_vfs*, const char* name, int syncDir) {
    if (std::strstr(name, "-mj")) _exit(9);
    return base->xDelete(base, name, syncDir);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    base = sqlite3_vfs_find(nullptr);
    static sqlite3_vfs crashing = *base;
    crashing.zName = "crashing";
    crashing.xDelete = crashingDelete;
    sqlite3_vfs_register(&crashing, 1);
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[1], &db) != SQLITE_OK) return 3;
    const std::string sql = std::string("ATTACH '") + argv[2] +
                            "' AS books; BEGIN; UPDATE main.StokKartlar SET KalanB = KalanB + 1; "
                            "UPDATE books.StokKartlar SET KalanB = KalanB + 1; COMMIT;";
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    return 4;  // the commit went through: no crash was staged
}
