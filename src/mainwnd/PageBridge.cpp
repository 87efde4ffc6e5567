#include "mainwnd/PageBridge.h"

#include "audio/AudioPlayer.h"
#include "diag/Log.h"
#include "environment/Deployment.h"
#include "messages/PageRequest.h"
#include "messages/WindowMessages.h"

#include <QUrl>

#include <cmath>
#include <limits>
#include <optional>

namespace {

constexpr int kPlayingPollMs = 250;

// A page's number as a subject id: an integer in range, or nothing (fractions are cut, as the
// page's own integer conversion would).
std::optional<std::int32_t> SubjectIdOf(const QJsonValue& value)
{
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = std::trunc(value.toDouble());
    if (!std::isfinite(number) || number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(number);
}

} // namespace

PageBridge::PageBridge(View view, QObject* parent)
    : QObject(parent)
    , m_view(std::move(view))
{
    m_poll.setInterval(kPlayingPollMs);
    connect(&m_poll, &QTimer::timeout, this, &PageBridge::RefreshPlaying);
}

void PageBridge::RefreshPlaying()
{
    const bool playing = CAudioPlayer::GetInstance().IsPlaying();
    if (playing) {
        m_poll.start();
    } else {
        m_poll.stop();
    }
    if (playing != m_playing) {
        m_playing = playing;
        Q_EMIT playingChanged(playing);
    }
}

QString PageBridge::ExamPaperUrl(const QString& baseUrl, std::int32_t subjectId, const QString& subjectName,
                                 std::int64_t userId)
{
    return baseUrl + QStringLiteral("Simulation/Exampaper/31?subId=%1&subName=%2&userId=%3")
                         .arg(subjectId)
                         .arg(subjectName)
                         .arg(userId);
}

void PageBridge::orvaDoLogin(const QJsonValue& subjectId, const QJsonValue& subjectName)
{
    const std::optional<std::int32_t> id = SubjectIdOf(subjectId);
    if (!id || !subjectName.isString()) {
        return;
    }
    const std::int64_t userId = m_view.userId();
    if (userId <= 0) {
        auto request = std::make_unique<PageRequest>();
        request->subjectId = *id;
        request->subjectName = subjectName.toString().toStdString();
        PostUserMessage<WM_USER_LOGIN>(m_notifyWindow, std::move(request));
        return;
    }
    m_view.loadUrl(ExamPaperUrl(m_view.baseUrl(), *id, subjectName.toString(), userId));
}

void PageBridge::openHomePage()
{
    LOG_VERB << "open " << QUrl(QString::fromLatin1(Deployment::kHomePage)).host();
    PostUserMessage<WM_USER_OPEN_HOMEPAGE>(m_notifyWindow);
}

void PageBridge::openUrl(const QJsonValue& address)
{
    if (!address.isString()) {
        return;
    }
    const std::string text = address.toString().toStdString();
    LOG_VERB << "open url:[" << text << "]";
    auto request = std::make_unique<PageRequest>();
    request->pageUrl = text;
    PostUserMessage<WM_USER_OPEN_URL>(m_notifyWindow, std::move(request));
}

void PageBridge::playAudio(const QJsonValue& file, const QJsonValue& play)
{
    if (!file.isString() || !play.isBool()) {
        return;
    }
    CAudioPlayer& player = CAudioPlayer::GetInstance();
    if (play.toBool()) {
        if (!player.PlayAudio(file.toString().toStdString(), false)) {
            LOG_WARN << "the page's audio does not play:[" << file.toString().toStdString() << "]";
        }
    } else {
        player.SetPause(true);
    }
    RefreshPlaying();
}
