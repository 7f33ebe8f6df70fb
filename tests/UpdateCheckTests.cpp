#include "LoopbackHttpServer.h"
#include "app/AboutPanel.h"

#include <gtest/gtest.h>

// The about panel's update check against a server of the test's own on the loopback interface.

namespace
{
    /** Runs the message loop until the condition holds or the time is up. */
    template <typename Condition>
    bool dispatchUntil (Condition&& condition, int timeoutMs)
    {
        const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

        while (! condition() && juce::Time::getMillisecondCounter() < end)
            juce::MessageManager::getInstance()->runDispatchLoopUntil (10);

        return condition();
    }

    struct CheckResult
    {
        bool answered = false;
        bool newer = false;
    };

    /** Runs one check against a server giving the body, and waits for its answer. */
    CheckResult checkAgainst (const juce::String& statusLine, const juce::String& body)
    {
        LoopbackHttpServer server (LoopbackHttpServer::Behaviour::answer, statusLine, body);
        CheckResult result;
        UpdateCheck check (AboutPanel::getUpdateFile (server.getAddress(), "Tocksley"),
                           [&result] (bool newer) { result = { true, newer }; }, 3000);
        dispatchUntil ([&result] { return result.answered; }, 5000);
        return result;
    }
}

TEST (UpdateCheck, ResponsesAreReadLikeAtoi)
{
    EXPECT_TRUE (UpdateCheck::isNewerVersion ("65537"));
    EXPECT_FALSE (UpdateCheck::isNewerVersion ("65536"));
    EXPECT_TRUE (UpdateCheck::isNewerVersion ("   70000abc"));
    EXPECT_TRUE (UpdateCheck::isNewerVersion ("\n\t+70000\n"));
    EXPECT_TRUE (UpdateCheck::isNewerVersion ("99999999999999999999999"));   // overflow reads as the largest value
    EXPECT_FALSE (UpdateCheck::isNewerVersion ("-5"));
    EXPECT_FALSE (UpdateCheck::isNewerVersion ("-99999999999999999999999"));
    EXPECT_FALSE (UpdateCheck::isNewerVersion ("0x20000"));
    EXPECT_FALSE (UpdateCheck::isNewerVersion ("65536.9"));
    EXPECT_FALSE (UpdateCheck::isNewerVersion ("information"));
    EXPECT_FALSE (UpdateCheck::isNewerVersion ("nan"));
    EXPECT_FALSE (UpdateCheck::isNewerVersion ("<html><body>404</body></html>"));
    EXPECT_FALSE (UpdateCheck::isNewerVersion (""));
    EXPECT_FALSE (UpdateCheck::isNewerVersion (std::string ("\0" "70000", 6)));
}

TEST (UpdateCheck, AddressesOfTheFileAndTheSite)
{
    EXPECT_EQ (AboutPanel::getUpdateFile ("http://Example.invalid/", "Tocksley").toString (false), "http://example.invalid/tocksley.txt");
    EXPECT_EQ (AboutPanel::getWebSite ("http://example.invalid/").toString (false), "http://example.invalid");
    EXPECT_TRUE (juce::String (TOCKSLEY_UPDATE_SERVER).endsWithChar ('/'));
}

TEST (UpdateCheck, AnswersFromTheServer)
{
    EXPECT_TRUE (checkAgainst ("HTTP/1.1 200 OK", "65537").newer);
    EXPECT_FALSE (checkAgainst ("HTTP/1.1 200 OK", "65536").newer);
    EXPECT_TRUE (checkAgainst ("HTTP/1.1 200 OK", "   70000abc").newer);
    EXPECT_FALSE (checkAgainst ("HTTP/1.1 200 OK", "-5").newer);
    EXPECT_FALSE (checkAgainst ("HTTP/1.1 404 Not Found", "<html><head><title>404</title></head><body>Not here</body></html>").newer);

    const auto empty = checkAgainst ("HTTP/1.1 200 OK", "");
    EXPECT_TRUE (empty.answered);
    EXPECT_FALSE (empty.newer);

    // A server that answers with more than anyone needs: only the start is read.
    EXPECT_TRUE (checkAgainst ("HTTP/1.1 200 OK", "70000" + juce::String::repeatedString (" ", 1 << 20)).newer);
}

TEST (UpdateCheck, NoServerAndAServerThatNeverAnswersGiveNoNotice)
{
    juce::String closedAddress;
    {
        LoopbackHttpServer gone (LoopbackHttpServer::Behaviour::answer, "HTTP/1.1 200 OK", "70000");
        closedAddress = gone.getAddress();
    }

    CheckResult noServer;
    UpdateCheck refused (AboutPanel::getUpdateFile (closedAddress, "Tocksley"), [&] (bool n) { noServer = { true, n }; }, 1000);
    EXPECT_TRUE (dispatchUntil ([&] { return noServer.answered; }, 5000));
    EXPECT_FALSE (noServer.newer);

    LoopbackHttpServer silent (LoopbackHttpServer::Behaviour::acceptAndNeverAnswer, "", "");
    CheckResult hanging;
    const auto start = juce::Time::getMillisecondCounter();
    UpdateCheck waiting (AboutPanel::getUpdateFile (silent.getAddress(), "Tocksley"), [&] (bool n) { hanging = { true, n }; }, 800);
    EXPECT_TRUE (dispatchUntil ([&] { return hanging.answered; }, 6000));
    EXPECT_FALSE (hanging.newer);
    EXPECT_LT (juce::Time::getMillisecondCounter() - start, 4000u);
}

TEST (AboutPanel, ShowsTheProductLineAndTheNoticeWhenTheServerOffersMore)
{
    LoopbackHttpServer server (LoopbackHttpServer::Behaviour::answer, "HTTP/1.1 200 OK", "65537");
    AboutPanel panel ("Tocksley", server.getAddress());

    EXPECT_EQ (panel.getAboutLabel().getText(), "Tocksley v1.0.0 by Orlavane\n\n");
    EXPECT_FALSE (panel.getUpdateButton().isVisible());
    EXPECT_EQ (panel.getUpdateLabel().getText(), "");
    EXPECT_EQ (panel.getWidth(), 400);

    ASSERT_TRUE (dispatchUntil ([&] { return panel.isUpdateAvailable(); }, 5000));
    EXPECT_TRUE (panel.getUpdateButton().isVisible());
    EXPECT_EQ (panel.getUpdateLabel().getText(), "Update Available, please download the latest version.");
    EXPECT_EQ (server.getLastRequestLine(), "GET /tocksley.txt HTTP/1.1");

    panel.setBounds (16, 16, 400, 648);
    EXPECT_EQ (panel.getCloseButton().getBounds(), juce::Rectangle<int> (320, 610, 64, 24));
    EXPECT_EQ (panel.getAboutLabel().getBounds(), juce::Rectangle<int> (8, 16, 384, 24));
    EXPECT_EQ (panel.getUpdateButton().getBounds(), juce::Rectangle<int> (304, 48, 80, 24));
    EXPECT_EQ (panel.getUpdateLabel().getBounds(), juce::Rectangle<int> (8, 48, 272, 24));
    EXPECT_EQ (panel.getCloseButton().getButtonText(), "CLOSE");
    EXPECT_EQ (panel.getAboutLabel().findColour (juce::Label::textColourId), juce::Colours::azure);

    panel.setVisible (true);
    panel.getCloseButton().triggerClick();
    EXPECT_TRUE (dispatchUntil ([&] { return ! panel.isVisible(); }, 2000));
}

TEST (AboutPanel, AppearsAtOnceAndClosesAtOnceWhileTheServerNeverAnswers)
{
    LoopbackHttpServer silent (LoopbackHttpServer::Behaviour::acceptAndNeverAnswer, "", "");

    const auto start = juce::Time::getMillisecondCounter();
    auto panel = std::make_unique<AboutPanel> ("Tocksley", silent.getAddress());
    EXPECT_LT (juce::Time::getMillisecondCounter() - start, 500u);

    juce::MessageManager::getInstance()->runDispatchLoopUntil (300);
    EXPECT_FALSE (panel->isUpdateAvailable());
    EXPECT_FALSE (panel->getUpdateButton().isVisible());

    const auto closing = juce::Time::getMillisecondCounter();
    panel.reset();
    EXPECT_LT (juce::Time::getMillisecondCounter() - closing, 2000u);

    // Nothing is delivered to the deleted panel afterwards.
    juce::MessageManager::getInstance()->runDispatchLoopUntil (200);
}
