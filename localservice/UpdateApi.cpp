#include "UpdateApi.h"

#include "ServiceContext.h"

#include <fstream>
#include <memory>

namespace {
constexpr const char* kDownloadPath = "/client/download/ExamoraUpdate.run";
constexpr std::size_t kBlock = std::size_t{64} * 1024;
} // namespace

void UpdateApi::Register(httplib::Server& server, ServiceContext& context)
{
    server.Get("/client/version", [&context](const httplib::Request& request, httplib::Response& response) {
        const std::string host = request.get_header_value("Host");
        response.set_content(context.options.updateVersion + "#http://" + host + kDownloadPath,
                             "text/plain; charset=utf-8");
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
