#pragma once

#include "ui/WindowHandle.h"

#include <QJsonValue>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

// The object a page reaches over the web channel: the five global functions of the injected
// script end here. Arguments arrive as JSON values so that their types can be checked as the page
// sent them; a call with the wrong types does nothing. Requests for the wider client are posted to
// the notify window; the audio calls drive the process's audio player. "playing" mirrors the
// player for the page's synchronous isPlayAudio().
class PageBridge final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool playing READ IsPlaying NOTIFY playingChanged)

public:
    // The questions the bridge asks its view: who is signed in, and how to open an address.
    struct View
    {
        std::function<std::int64_t()> userId;
        std::function<QString()> baseUrl;
        std::function<void(const QString&)> loadUrl;
    };

    explicit PageBridge(View view, QObject* parent = nullptr);

    void SetNotifyWindow(const WindowHandle& window) { m_notifyWindow = window; }
    [[nodiscard]] bool IsPlaying() const { return m_playing; }
    // Reads the player again (after a play, pause or stop, and on a short timer while it plays,
    // since a file ends on the player's own thread).
    void RefreshPlaying();

    Q_INVOKABLE void orvaDoLogin(const QJsonValue& subjectId, const QJsonValue& subjectName);
    Q_INVOKABLE void openHomePage();
    Q_INVOKABLE void openUrl(const QJsonValue& address);
    Q_INVOKABLE void playAudio(const QJsonValue& file, const QJsonValue& play);

    // The exam paper of a subject for a signed-in user, on the question-bank base address. The name
    // goes in as it is, without percent-encoding.
    [[nodiscard]] static QString ExamPaperUrl(const QString& baseUrl, std::int32_t subjectId,
                                              const QString& subjectName, std::int64_t userId);

Q_SIGNALS:
    void playingChanged(bool playing);

private:
    View m_view;
    WindowHandle m_notifyWindow;
    QTimer m_poll;
    bool m_playing = false;
};
