#pragma once

#include <functional>
#include <string>

// The download of the update's installer on libcurl's easy interface, on the calling thread.
// The transfer goes into installerPath + ".part", which a broken transfer leaves for the next
// attempt to resume with a range request. A finished transfer becomes the installer only when it
// is a 2xx answer, larger than 10240 bytes, a shell archive, and signed: the Ed25519 signature at
// the address + ".sig" must verify with the public key compiled into the client. A file that fails
// the checks is deleted.
class InstallerDownload
{
public:
    static constexpr long long kMinimumSize = 10240;

    enum class Outcome
    {
        Installed,      // installerPath holds the verified installer, executable
        TransferFailed, // no connection, a broken or refused transfer: the partial file stays
        Rejected,       // complete, but too small, not an installer, or not signed by us: deleted
    };

    // progress gets the percent done (0–100) whenever the total size is known.
    static Outcome Run(const std::string& downloadUrl, const std::string& installerPath,
                       const std::function<void(int percent)>& progress);

    // Whether signature (64 bytes) is the Ed25519 signature of data by the compiled-in key.
    [[nodiscard]] static bool Verify(const unsigned char* data, std::size_t size,
                                     const std::string& signature);
};
