#include "update/InstallerDownload.h"

#include "diag/CrashHandler.h"
#include "diag/Log.h"
#include "service/OrvaManager.h"
#include "update/UpdatePublicKey.h"

#include <curl/curl.h>
#include <openssl/evp.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

constexpr long kConnectTimeoutSeconds = 60;
// A transfer that moves less than a byte a second for this long has stalled.
constexpr long kStallSeconds = 60;
constexpr std::size_t kMaxSignatureBytes = 4096;

struct Transfer
{
    int fd = -1;
    long long resumeFrom = 0;
    bool started = false;
    bool refused = false; // not a 2xx answer, or a write that failed
    CURL* easy = nullptr;
    const std::function<void(int)>* progress = nullptr;
    int lastPercent = -1;
};

bool Is2xx(long status)
{
    return status >= 200 && status < 300;
}

size_t WriteInstaller(char* data, size_t size, size_t count, void* opaque) noexcept
{
    auto* transfer = static_cast<Transfer*>(opaque);
    const size_t bytes = size * count;
    if (!transfer->started) {
        transfer->started = true;
        long status = 0;
        curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
        if (!Is2xx(status)) {
            transfer->refused = true;
            return 0;
        }
        // A server that ignores the range sends the whole file again.
        if (transfer->resumeFrom > 0 && status != 206) {
            if (::ftruncate(transfer->fd, 0) != 0) {
                transfer->refused = true;
                return 0;
            }
            transfer->resumeFrom = 0;
        }
    }
    size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::write(transfer->fd, data + done, bytes - done);
        if (n <= 0) {
            transfer->refused = true;
            return done;
        }
        done += static_cast<size_t>(n);
    }
    return bytes;
}

int ReportProgress(void* opaque, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) noexcept
{
    auto* transfer = static_cast<Transfer*>(opaque);
    const long long whole = transfer->resumeFrom + total;
    if (total <= 0 || now <= 0 || whole <= 0 || transfer->progress == nullptr || !*transfer->progress) {
        return 0;
    }
    const int percent = static_cast<int>(static_cast<double>(transfer->resumeFrom + now) /
                                         static_cast<double>(whole) * 100.0);
    if (percent != transfer->lastPercent) {
        transfer->lastPercent = percent;
        try {
            (*transfer->progress)(percent);
        } catch (...) {
        }
    }
    return 0;
}

size_t KeepSignature(char* data, size_t size, size_t count, void* opaque) noexcept
{
    auto* signature = static_cast<std::string*>(opaque);
    const size_t bytes = size * count;
    if (signature->size() + bytes > kMaxSignatureBytes) {
        return 0;
    }
    signature->append(data, bytes);
    return bytes;
}

// The signature file beside the installer; empty when there is none.
std::string FetchSignature(const std::string& address)
{
    std::string signature;
    CURL* easy = curl_easy_init();
    if (easy == nullptr) {
        return {};
    }
    curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &KeepSignature);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &signature);
    const CURLcode result = curl_easy_perform(easy);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(easy);
    return result == CURLE_OK && Is2xx(status) ? signature : std::string();
}

// Size, shell-archive start and signature of the finished file.
bool Acceptable(const std::string& path, const std::string& signature)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || status.st_size <= InstallerDownload::kMinimumSize) {
        LOG_WARN << "the downloaded file is too small to be the installer";
        ::close(fd);
        return false;
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (data == MAP_FAILED) {
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    bool ok = bytes[0] == '#' && bytes[1] == '!';
    if (!ok) {
        LOG_WARN << "the downloaded file is not an installer";
    } else if (!InstallerDownload::Verify(bytes, size, signature)) {
        LOG_WARN << "the downloaded installer's signature does not verify";
        ok = false;
    }
    ::munmap(data, size);
    return ok;
}

} // namespace

bool InstallerDownload::Verify(const unsigned char* data, std::size_t size, const std::string& signature)
{
    if (signature.size() != 64) {
        return false;
    }
    EVP_PKEY* key = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, UpdatePublicKey::kBytes,
                                                sizeof UpdatePublicKey::kBytes);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const bool ok = key != nullptr && context != nullptr &&
                    EVP_DigestVerifyInit(context, nullptr, nullptr, nullptr, key) == 1 &&
                    EVP_DigestVerify(context, reinterpret_cast<const unsigned char*>(signature.data()),
                                     signature.size(), data, size) == 1;
    EVP_MD_CTX_free(context);
    EVP_PKEY_free(key);
    return ok;
}

InstallerDownload::Outcome InstallerDownload::Run(const std::string& downloadUrl,
                                                  const std::string& installerPath,
                                                  const std::function<void(int)>& progress)
{
    InstallThreadCrashStack();
    const std::string address = COrvaManager::UrlEscape(downloadUrl);
    const std::string partPath = installerPath + ".part";
    Transfer transfer;
    transfer.progress = &progress;
    transfer.fd = ::open(partPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (transfer.fd < 0) {
        LOG_ERROR << "cannot write the installer:[" << partPath << "]";
        return Outcome::TransferFailed;
    }
    struct stat status = {};
    transfer.resumeFrom = ::fstat(transfer.fd, &status) == 0 ? status.st_size : 0;

    CURL* easy = curl_easy_init();
    if (easy == nullptr) {
        ::close(transfer.fd);
        return Outcome::TransferFailed;
    }
    transfer.easy = easy;
    curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &WriteInstaller);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &ReportProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    if (transfer.resumeFrom > 0) {
        LOG_INFO << "resuming the installer's download at byte " << transfer.resumeFrom;
        curl_easy_setopt(easy, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(transfer.resumeFrom));
    }
    const CURLcode result = curl_easy_perform(easy);
    long answer = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &answer);
    curl_easy_cleanup(easy);
    ::close(transfer.fd);

    // A range past the end: the file was complete already.
    const bool alreadyComplete = answer == 416 && transfer.resumeFrom > 0;
    if (!alreadyComplete && (result != CURLE_OK || transfer.refused || !Is2xx(answer))) {
        LOG_WARN << "the installer's download failed url:[" << address << "] status:[" << answer
                 << "] error:[" << curl_easy_strerror(result) << "]";
        // An error page never reached the file: the write step refuses anything but a 2xx answer.
        return Outcome::TransferFailed;
    }
    if (!Acceptable(partPath, FetchSignature(address + ".sig"))) {
        std::remove(partPath.c_str());
        std::remove(installerPath.c_str());
        return Outcome::Rejected;
    }
    if (std::rename(partPath.c_str(), installerPath.c_str()) != 0 ||
        ::chmod(installerPath.c_str(), 0700) != 0) {
        LOG_ERROR << "cannot put the installer in place:[" << installerPath << "]";
        return Outcome::TransferFailed;
    }
    return Outcome::Installed;
}
