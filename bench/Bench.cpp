// quorvane-bench: whole-file EncryptFile and DecryptFile throughput of each method, next to
// libgcrypt's CBC throughput for the same cipher on the same data in memory, and next to the
// data checksum alone, which no file can be decrypted faster than on one processor (each byte's
// step needs the step before).
//
// The engine's figures include everything a user waits for: reading the plain or crypted file,
// the checksum, the cipher, writing the output and flushing it (file and folder) to stable
// storage before it is moved into place. The files live on a memory file system for the
// engine's own figure, and on the disk-backed temporary folder for the figure a user sees
// there, where the flush waits for the disk.
#include "CipherPaths.h"
#include "Crc.h"
#include "CryptFile.h"
#include "Pwd.h"

#include <gcrypt.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/magic.h>
#include <string>
#include <sys/statfs.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Method {
    std::int32_t code;
    const char* name;
    int gcryptAlgo;
    std::size_t keyBytes;
};

constexpr Method Methods[] = {
    {qv::MethodDes, "DES", GCRY_CIPHER_DES, 8},
    {qv::MethodTripleDes, "3xDES", GCRY_CIPHER_3DES, 24},
    {qv::MethodIdea, "IDEA", GCRY_CIPHER_IDEA, 16},
};

double Seconds(const std::function<bool()>& run, int repeats, bool& ok) {
    double best = 1e30;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        ok = run() && ok;
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    std::uint32_t x = 0x12345678;
    for (auto& b : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return data;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

bool SameAsFile(const std::string& path, const std::vector<std::uint8_t>& data) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    std::vector<std::uint8_t> read(data.size() + 1);
    const std::size_t n = std::fread(read.data(), 1, read.size(), f);
    std::fclose(f);
    return n == data.size() && std::memcmp(read.data(), data.data(), n) == 0;
}

std::string FileSystemName(const std::string& folder) {
    struct statfs fs {};
    if (statfs(folder.c_str(), &fs) != 0)
        return "unknown file system";
    switch (static_cast<unsigned long>(fs.f_type)) {
    case TMPFS_MAGIC:
        return "tmpfs, in memory";
    case EXT4_SUPER_MAGIC:
        return "ext4, on disk";
    case XFS_SUPER_MAGIC:
        return "xfs, on disk";
    case BTRFS_SUPER_MAGIC:
        return "btrfs, on disk";
    case OVERLAYFS_SUPER_MAGIC:
        return "overlayfs";
    default:
        return "file system type 0x" + [&] {
            char hex[32];
            std::snprintf(hex, sizeof hex, "%lx", static_cast<unsigned long>(fs.f_type));
            return std::string(hex);
        }();
    }
}

// libgcrypt's CBC with an all-zero starting value over the data in memory, in place.
double GcryptSeconds(const Method& m, std::vector<std::uint8_t>& data, bool decrypt, int repeats,
                     bool& ok) {
    std::vector<std::uint8_t> key(m.keyBytes);
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<std::uint8_t>(0x31 + 7 * i);
    gcry_cipher_hd_t h = nullptr;
    if (gcry_cipher_open(&h, m.gcryptAlgo, GCRY_CIPHER_MODE_CBC, 0) != 0) {
        ok = false;
        return 1;
    }
    gcry_cipher_ctl(h, GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1);
    gcry_cipher_setkey(h, key.data(), key.size());
    const std::uint8_t zero[8] = {};
    const double seconds = Seconds(
        [&] {
            gcry_cipher_setiv(h, zero, 8);
            const gcry_error_t err =
                decrypt ? gcry_cipher_decrypt(h, data.data(), data.size(), nullptr, 0)
                        : gcry_cipher_encrypt(h, data.data(), data.size(), nullptr, 0);
            return err == 0;
        },
        repeats, ok);
    gcry_cipher_close(h);
    return seconds;
}

void Usage() {
    std::puts("usage: quorvane-bench [--size MIB] [--repeats N] [--path NAME]... [--all-paths]\n"
              "                      [FOLDER...]\n"
              "Measures whole-file encryption and decryption per method on a file of MIB\n"
              "mebibytes (64) in each FOLDER (default: /dev/shm and /var/tmp), best of N runs\n"
              "(5), next to libgcrypt's CBC on the same data in memory and to the data checksum\n"
              "alone. The ciphers run on the processor's widest vector path, or on each NAME\n"
              "(portable, sse2, avx2, avx512), or on every path the processor supports.");
}

// The checksum alone over the data in memory: the limit of one file's decryption.
double ChecksumSeconds(const std::vector<std::uint8_t>& data, int repeats, std::uint32_t& crc) {
    bool ok = true;
    return Seconds(
        [&] {
            crc = qv::UpdateCrc(0, data.data(), data.size());
            return true;
        },
        repeats, ok);
}

} // namespace

int main(int argc, char** argv) {
    std::size_t mebibytes = 64;
    int repeats = 5;
    std::vector<std::string> folders;
    std::vector<qv::CipherPath> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--path" && i + 1 < argc) {
            const auto path = qv::CipherPathNamed(argv[++i]);
            if (!path || !qv::CipherPathSupported(*path)) {
                std::fprintf(stderr, "quorvane-bench: %s is not a path this processor runs\n",
                             argv[i]);
                return 2;
            }
            paths.push_back(*path);
        } else if (arg == "--all-paths") {
            for (const qv::CipherPath path : qv::AllCipherPaths)
                if (qv::CipherPathSupported(path))
                    paths.push_back(path);
        } else if (arg == "--size" && i + 1 < argc) {
            mebibytes = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--repeats" && i + 1 < argc) {
            repeats = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--help" || arg == "-h" || (!arg.empty() && arg[0] == '-')) {
            Usage();
            return arg == "--help" || arg == "-h" ? 0 : 2;
        } else {
            folders.push_back(arg);
        }
    }
    if (folders.empty())
        folders = {"/dev/shm", "/var/tmp"};
    if (paths.empty())
        paths = {qv::ActiveCipherPath()};
    if (mebibytes == 0 || mebibytes > 2000) {
        std::fprintf(stderr, "quorvane-bench: the size must be 1 to 2000 MiB\n");
        return 2;
    }

    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);

    const std::size_t size = mebibytes << 20;
    const double megabytes = static_cast<double>(size) / 1e6;
    const auto plain = Pattern(size);
    bool allOk = true;

    std::printf("Whole-file throughput of the engine on a %zu MiB file, best of %d runs "
                "taken in turn with the reference;\n"
                "reference: libgcrypt %s, CBC from an all-zero value on the same data in "
                "memory\n(MB = 10^6 bytes of plain data per second; x libgcrypt = engine / "
                "libgcrypt;\nx checksum = engine / the data checksum alone over the same bytes "
                "in memory)\n",
                mebibytes, repeats, gcry_check_version(nullptr));
    std::uint32_t crc = 0;
    const double checksumRate = megabytes / ChecksumSeconds(plain, repeats, crc);
    std::printf("\nChecksum alone (UpdateCrc, in memory): %.1f MB/s, the limit of one file's "
                "decryption\n",
                checksumRate);

    for (const qv::CipherPath cipherPath : paths)
        for (const std::string& folder : folders) {
            setenv("QUORVANE_CIPHER_PATH", qv::CipherPathName(cipherPath), 1);
            char pattern[4096];
            std::snprintf(pattern, sizeof pattern, "%s/quorvane-bench-XXXXXX", folder.c_str());
            if (!mkdtemp(pattern)) {
                std::fprintf(stderr, "quorvane-bench: cannot create a folder in %s\n",
                             folder.c_str());
                allOk = false;
                continue;
            }
            const std::string work = pattern;
            const std::string path = work + "/plain.bin";
            std::printf("\nFolder %s (%s), cipher path %s\n", folder.c_str(),
                        FileSystemName(folder).c_str(), qv::CipherPathName(cipherPath));
            std::printf("%-6s %-8s %12s %15s %12s %11s\n", "method", "", "engine MB/s",
                        "libgcrypt MB/s", "x libgcrypt", "x checksum");
            if (!WriteFile(path, plain)) {
                std::fprintf(stderr, "quorvane-bench: cannot write %s\n", path.c_str());
                allOk = false;
            }

            qv::TQV_Pwd pwd;
            const char password[] = "benchmark";
            pwd.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(password),
                                 sizeof password - 1);
            for (const Method& m : Methods) {
                // Engine and reference take turns, so that a change in the machine's load between
                // them does not tilt the ratio; the best of each is kept.
                bool ok = true;
                double enc = 1e30, dec = 1e30, refEnc = 1e30, refDec = 1e30;
                auto data = plain;
                std::string stored;
                // As a user runs them: no crypted file of the name exists when a file is
                // encrypted (the plain file is wiped when one is decrypted), and no plain file
                // when one is decrypted. Removing the old output, which frees its pages, is not
                // timed; the engine never has to do it then.
                for (int r = 0; r < repeats; ++r) {
                    refEnc = std::min(refEnc, GcryptSeconds(m, data, false, 1, ok));
                    std::remove((path + ".cry").c_str());
                    enc = std::min(
                        enc, Seconds([&] { return pwd.EncryptFile(path, m.code) == 0; }, 1, ok));
                    refDec = std::min(refDec, GcryptSeconds(m, data, true, 1, ok));
                    std::remove(path.c_str());
                    dec = std::min(
                        dec, Seconds([&] { return pwd.DecryptFile(path + ".cry", stored) == 0; }, 1,
                                     ok));
                    ok = ok && SameAsFile(path, plain);
                }
                allOk = allOk && ok;
                const char* mark = ok ? "" : "  FAILED";
                std::printf("%-6s %-8s %12.1f %15.1f %12.2f %11.2f%s\n", m.name, "encrypt",
                            megabytes / enc, megabytes / refEnc, refEnc / enc,
                            megabytes / enc / checksumRate, mark);
                std::printf("%-6s %-8s %12.1f %15.1f %12.2f %11.2f%s\n", m.name, "decrypt",
                            megabytes / dec, megabytes / refDec, refDec / dec,
                            megabytes / dec / checksumRate, mark);
                std::remove((path + ".cry").c_str());
            }
            std::remove(path.c_str());
            rmdir(work.c_str());
        }
    return allOk ? 0 : 1;
}
