#pragma once

#include "AudioFixtures.h"
#include "CapturingSink.h"
#include "TestSupport.h"
#include "audio/AudioPlayer.h"
#include "diag/Log.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// A test of the player that plays into SDL's disk driver, so what reached the device can be read
// back from a file, and that watches the log.
class DiskAudioTest : public ::testing::Test
{
protected:
    void SetUp() override { Log::Install(m_log, 6); }
    void TearDown() override { m_player.Stop(); }

    // Everything the device has played so far, silence included.
    [[nodiscard]] AudioFixtures::Samples Played() const
    {
        return AudioFixtures::ReadPcm(m_folder.File("played.raw"));
    }
    // What the device has played, without its silence.
    [[nodiscard]] AudioFixtures::Samples Sound() const { return AudioFixtures::WithoutSilence(Played()); }

    [[nodiscard]] bool Logged(const std::string& function, const std::string& text)
    {
        for (const auto& entry : m_log->Entries()) {
            if (entry.function == function && entry.message == text) {
                return true;
            }
        }
        return false;
    }

    TestSupport::TempFolder m_folder;
    TestSupport::ScopedEnv m_driver{"SDL_AUDIODRIVER", QStringLiteral("disk")};
    TestSupport::ScopedEnv m_output{"SDL_DISKAUDIOFILE", m_folder.File("played.raw")};
    std::shared_ptr<CapturingSink> m_log = std::make_shared<CapturingSink>();
    CAudioPlayer& m_player = CAudioPlayer::GetInstance();
};
