// The crypted-file reader under mutated and damaged files: InspectCryptFile and DecryptFile on
// a file in memory-backed storage.
//
// Input: one byte that picks the password (FuzzInputs.h), then the crypted file. A finding is
// what the reader must never do with any file: answer with a code it does not give, tell the
// inspection and the decryption apart on a damaged header, change the crypted file, leave plain
// bytes behind on a failure, or succeed with an output of another size or checksum than its
// header names.
#include "Crc.h"
#include "CryptFile.h"
#include "FuzzInputs.h"
#include "FuzzSupport.h"
#include "Pwd.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace qv;
using namespace qv::fuzz;

namespace {

// The codes InspectCryptFile gives for a regular file that can be read.
bool IsInspectionCode(std::int32_t code) {
    return code == CryptOk || code == CryptReadFailed || code == CryptNotCrypted ||
           code == CryptWrongPassword;
}

// The codes DecryptFile gives for such a file in a folder it can write: opening the input and
// creating the output cannot fail here, nothing asks it to stop, and the codes of encryption do
// not apply. Memory and space may still run out.
bool IsDecryptionCode(std::int32_t code) {
    return IsInspectionCode(code) || code == CryptNoMemory || code == CryptWriteFailed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static const ScratchFolder folder(CryptReaderTarget);
    const std::string input = folder / CryptFileName;
    const std::vector<std::uint8_t> crypted(data + 1, data + size);
    if (!WriteFileBytes(input, crypted.data(), crypted.size()))
        Fail("cannot write the input file " + input);

    CryptHeader header;
    const std::int32_t inspection = InspectCryptFile(input, header);
    if (!IsInspectionCode(inspection))
        Fail("InspectCryptFile gave " + std::to_string(inspection));

    TQV_Pwd pwd;
    const std::string_view password = CryptPasswords[PasswordIndex(data[0], CryptPasswords.size())];
    pwd.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(password.data()), password.size());
    pwd.HasPassword = true;
    const std::string untouched = "(not set)";
    std::string storedName = untouched;
    const std::int32_t code = pwd.DecryptFile(input, storedName);

    if (!IsDecryptionCode(code))
        Fail("DecryptFile gave " + std::to_string(code));
    if (inspection != CryptOk && code != inspection)
        Fail("InspectCryptFile gave " + std::to_string(inspection) + " but DecryptFile " +
             std::to_string(code));
    Check(ReadFileBytes(input) == crypted, "DecryptFile changed the crypted file");

    const std::vector<std::string> names = folder.Names();
    if (code == CryptOk) {
        Check(inspection == CryptOk, "a file decrypted that the inspection refused");
        const std::string output =
            storedName.empty() ? DerivedPlainPath(CryptFileName) : storedName;
        Check(storedName.empty() ||
                  (storedName == header.StoredName() && IsPlainFileName(storedName)),
              "the decrypted file took a name its header does not hold");
        const std::vector<std::string> expected =
            output < CryptFileName ? std::vector<std::string>{output, CryptFileName}
                                   : std::vector<std::string>{CryptFileName, output};
        if (names != expected)
            Fail("after a decryption the folder holds " + Quoted(names) + ", not " +
                 Quoted(expected));
        const auto plain = ReadFileBytes(folder / output);
        Check(plain.has_value(), "the decrypted file cannot be read");
        if (plain->size() != static_cast<std::size_t>(header.PlainSize))
            Fail("the decrypted file has " + std::to_string(plain->size()) + " bytes, its header " +
                 std::to_string(header.PlainSize));
        Check(UpdateCrc(0, plain->data(), plain->size()) == header.DataChecksum,
              "the decrypted bytes do not have the header's checksum");
    } else {
        Check(storedName == untouched, "a failed decryption changed the stored name");
        if (names != std::vector<std::string>{CryptFileName})
            Fail("after decryption failed with " + std::to_string(code) + " the folder holds " +
                 Quoted(names));
    }
    folder.Clear();
    return 0;
}
