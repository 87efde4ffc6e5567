#include "UpdateApi.h"

#include "ServiceContext.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

namespace {
constexpr const char* kDownloadPath = "/client/download/ExamoraUpdate.run";
constexpr const char* kSignaturePath = "/client/download/ExamoraUpdate.run.sig";
constexpr std::size_t kBlock = std::size_t{64} * 1024;

// The Ed25519 signature (64 bytes) of the file with the private key; empty when either is missing.
std::string Sign(const std::string& filePath, const std::string& keyPath)
{
    std::ifstream in(filePath, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    FILE* keyFile = keyPath.empty() ? nullptr : std::fopen(keyPath.c_str(), "r");
    if (!in || keyFile == nullptr) {
        if (keyFile != nullptr) {
            std::fclose(keyFile);
        }
        return {};
    }
    EVP_PKEY* key = PEM_read_PrivateKey(keyFile, nullptr, nullptr, nullptr);
    std::fclose(keyFile);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    std::string signature(64, '\0');
    std::size_t length = signature.size();
    const bool ok =
        key != nullptr && context != nullptr &&
        EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key) == 1 &&
        EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(content.data()), content.size()) == 1;
    EVP_MD_CTX_free(context);
    EVP_PKEY_free(key);
    return ok && length == 64 ? signature : std::string();
}
} // namespace

void UpdateApi::Register(httplib::Server& server, ServiceContext& context)
{
    server.Get("/client/version", [&context](const httplib::Request& request, httplib::Response& response) {
        const std::string host = request.get_header_value("Host");
        response.set_content(context.options.updateVersion + "#http://" + host + kDownloadPath,
                             "text/plain; charset=utf-8");
    });
    // Signed once, as the service starts: the file is not expected to change while it runs.
    auto signature = std::make_shared<const std::string>(
        context.options.updateFile.empty() ? std::string()
                                           : Sign(context.options.updateFile, context.options.updateKey));
    server.Get(kSignaturePath, [signature](const httplib::Request&, httplib::Response& response) {
        if (signature->empty()) {
            response.status = 404;
            response.set_content("no signature is published", "text/plain; charset=utf-8");
            return;
        }
        response.set_content(*signature, "application/octet-stream");
    });
    server.Get(kDownloadPath, [&context](const httplib::Request&, httplib::Response& response) {
        auto file =
            std::make_shared<std::ifstream>(context.options.updateFile, std::ios::binary | std::ios::ate);
        if (context.options.updateFile.empty() || !*file) {
            response.status = 404;
            response.set_content("no installer is published", "text/plain; charset=utf-8");
            return;
        }
        const auto size = static_cast<std::size_t>(file->tellg());
        file->seekg(0);
        response.set_content_provider(
            size, "application/octet-stream",
            [file](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                std::string block(std::min(length, kBlock), '\0');
                file->seekg(static_cast<std::streamoff>(offset));
                file->read(block.data(), static_cast<std::streamsize>(block.size()));
                const auto got = static_cast<std::size_t>(file->gcount());
                // A file that shrank under us ends the transfer short, which the client sees.
                return got > 0 && sink.write(block.data(), got);
            });
    });
}
