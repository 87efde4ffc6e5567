#include "ExamSite.h"

#include <QFile>
#include <QString>
#include <QtEndian>

#include <httplib.h>

#include <array>
#include <cmath>
#include <mutex>
#include <numbers>

namespace {

std::string ContentType(const std::string& name)
{
    static const std::pair<const char*, const char*> kTypes[] = {
        {".html", "text/html; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".json", "application/json; charset=utf-8"},
        {".svg", "image/svg+xml"},
    };
    for (const auto& [extension, type] : kTypes) {
        if (name.ends_with(extension)) {
            return type;
        }
    }
    return "application/octet-stream";
}

// Answers with a file of the embedded site, or 404 when there is none of that name.
void ServeFile(const std::string& name, httplib::Response& response)
{
    QFile file(QStringLiteral(":/site/") + QString::fromStdString(name));
    if (!file.open(QIODevice::ReadOnly)) {
        response.status = 404;
        response.set_content("no such page: " + name, "text/plain; charset=utf-8");
        return;
    }
    response.set_header("Cache-Control", "no-cache");
    response.set_content(file.readAll().toStdString(), ContentType(name));
}

// The recording of a listening question: a short phrase of tones, different for each question,
// as a 16-bit mono WAV file.
std::string ListeningAudio(int number)
{
    constexpr int kRate = 22050;
    constexpr double kNoteSeconds = 0.4;
    static const std::array<double, 8> kScale = {261.63, 293.66, 329.63, 349.23,
                                                 392.00, 440.00, 493.88, 523.25};
    std::string samples;
    for (int note = 0; note < 20; ++note) {
        const double frequency = kScale[static_cast<std::size_t>((note * (number + 2) + number) % 8)];
        const int count = static_cast<int>(kRate * kNoteSeconds);
        for (int i = 0; i < count; ++i) {
            const double envelope = std::min({1.0, i / 400.0, (count - i) / 2000.0});
            const double value = 0.4 * envelope * std::sin(2 * std::numbers::pi * frequency * i / kRate);
            const auto sample = qToLittleEndian(static_cast<qint16>(value * 32767));
            samples.append(reinterpret_cast<const char*>(&sample), sizeof sample);
        }
    }
    const auto u32 = [](std::uint32_t value) {
        const auto little = qToLittleEndian(value);
        return std::string(reinterpret_cast<const char*>(&little), 4);
    };
    const auto u16 = [](std::uint16_t value) {
        const auto little = qToLittleEndian(value);
        return std::string(reinterpret_cast<const char*>(&little), 2);
    };
    const auto size = static_cast<std::uint32_t>(samples.size());
    return "RIFF" + u32(36 + size) + "WAVE" + "fmt " + u32(16) + u16(1) + u16(1) + u32(kRate) +
           u32(kRate * 2) + u16(2) + u16(16) + "data" + u32(size) + samples;
}

const std::string& CachedListeningAudio(int number)
{
    static std::mutex mutex;
    static std::array<std::string, 10> cache;
    const std::lock_guard lock(mutex);
    std::string& audio = cache.at(static_cast<std::size_t>(number));
    if (audio.empty()) {
        audio = ListeningAudio(number);
    }
    return audio;
}

} // namespace

void ExamSite::Register(httplib::Server& server)
{
    const auto page = [](const char* name) {
        return [name](const httplib::Request&, httplib::Response& response) { ServeFile(name, response); };
    };
    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/Simulation/Subjects/31");
    });
    server.Get("/Simulation/Subjects/31", page("subjects.html"));
    server.Get("/Simulation/Exampaper/31", page("papers.html"));
    server.Get(R"(/Simulation/Client/Exam/\d+)", page("exam.html"));
    server.Get(R"(/Simulation/assets/([\w.-]+))",
               [](const httplib::Request& request, httplib::Response& response) {
                   ServeFile(request.matches[1].str(), response);
               });
    server.Get(R"(/Simulation/media/listening-(\d)\.wav)", [](const httplib::Request& request,
                                                              httplib::Response& response) {
        response.set_content(CachedListeningAudio(std::stoi(request.matches[1].str())), "audio/wav");
    });
}
