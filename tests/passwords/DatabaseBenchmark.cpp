// Prints what a store and a retrieve cost for databases of growing size, against libgcrypt's
// IDEA in CBC mode run over the same bytes (once enciphering, once deciphering), which is the
// least any implementation of this file format must spend on the cipher alone.
//
//   passwords_benchmark [folder]   (the database is written there; default: $TMPDIR or /tmp)
#include "PwdTable.h"
#include "TempDir.h"

#include "GcryptSupport.h"

#include <gcrypt.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace qv;
using Clock = std::chrono::steady_clock;

namespace {

class SilentAnswers : public UserAnswers {
public:
    Button Ask(MessageKind, const std::string& text, unsigned) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return ButtonOk;
    }
};

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// libgcrypt IDEA-CBC over bytes of the database's data size, enciphered and deciphered.
double ReferenceSeconds(std::size_t bytes, int rounds) {
    gcry_cipher_hd_t handle = nullptr;
    gcry_cipher_open(&handle, GCRY_CIPHER_IDEA, GCRY_CIPHER_MODE_CBC, 0);
    const unsigned char key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const unsigned char iv[8] = {};
    gcry_cipher_setkey(handle, key, sizeof key);
    std::vector<unsigned char> data(bytes, 0x5A);
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        gcry_cipher_setiv(handle, iv, sizeof iv);
        gcry_cipher_encrypt(handle, data.data(), data.size(), nullptr, 0);
        gcry_cipher_setiv(handle, iv, sizeof iv);
        gcry_cipher_decrypt(handle, data.data(), data.size(), nullptr, 0);
    }
    const double seconds = Seconds(start) / rounds;
    gcry_cipher_close(handle);
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    qvtest::InitialiseGcrypt();

    qvtest::TempDir temp;
    const std::string folder = argc > 1 ? argv[1] : temp.Path();
    TQV_Pwd current;
    SilentAnswers answers;
    TQV_PwdTable table(current, answers);
    table.MasterPass.Store = true;
    table.MasterPass.Dir = folder + "/xwords.bench";
    const std::string master = "Bench-Master-1";
    table.MasterPass.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(master.data()),
                                      master.size());
    table.MasterPass.HasPassword = true;
    const std::string password = "correct horse";
    current.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(password.data()),
                             password.size());

    std::printf("database in %s\n", folder.c_str());
    std::printf("%8s %10s %12s %12s %14s %8s\n", "entries", "file KiB", "store ms", "retrieve ms",
                "reference ms", "ratio");
    for (const int entries : {10, 100, 1000, 10000, 50000}) {
        table.ClearEntries();
        for (int i = 0; i < entries; ++i) {
            const std::string key = "/home/user/documents/project-" + std::to_string(i) + ".odt";
            table.Entries.Add(key, SecureBytes(password.begin(), password.end()));
        }
        if (table.WriteDatabase() != DatabaseOk)
            return 1;
        table.ClearEntries();
        const int rounds = entries >= 10000 ? 5 : 20;

        // A store of a new key followed by the retrieve of it leaves the database as it was.
        double store = 0, retrieve = 0;
        for (int r = 0; r < rounds; ++r) {
            auto start = Clock::now();
            table.StorePassword("/home/user/new-file.odt");
            store += Seconds(start);
            start = Clock::now();
            if (!table.RetrievePassword("/home/user/new-file.odt"))
                return 1;
            retrieve += Seconds(start);
        }
        store /= rounds;
        retrieve /= rounds;

        std::FILE* f = std::fopen(table.MasterPass.Dir.c_str(), "rb");
        std::fseek(f, 0, SEEK_END);
        const long size = std::ftell(f);
        std::fclose(f);
        const double reference = ReferenceSeconds(static_cast<std::size_t>(size) - 14, rounds);
        std::printf("%8d %10.1f %12.3f %12.3f %14.3f %8.1f\n", entries, size / 1024.0, store * 1e3,
                    retrieve * 1e3, reference * 1e3, (store + retrieve) / 2 / reference);
    }
    std::printf("ratio: mean of one store and one retrieve (read, decipher, sort, encipher, write "
                "with fsync and rename) / libgcrypt IDEA-CBC enciphering and deciphering the same "
                "data bytes\n");
    return 0;
}
