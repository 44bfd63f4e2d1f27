// TAsyncSocket over loopback: lookups, connect outcomes, listen and take
// over, sending paced by the data-sent event, and data delivered before the
// close that follows it; and the fingerprint spellings accepted for TLS.

#include "AsyncSocket.h"
#include "WaitUntil.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <functional>
#include <netdb.h>
#include <string>

namespace {

template <class F> std::string ThrownText(F&& f) {
    try {
        f();
    } catch (const ESocketException& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

TEST(AsyncSocketLookup, DottedAddressIsReportedLaterWithoutTheResolver) {
    TAsyncSocket s;
    int result = -1;
    s.OnDnsLookupDone = [&](int error) { result = error; };
    s.DnsLookup("127.0.0.1");
    EXPECT_EQ(result, -1); // never from inside the call
    ASSERT_TRUE(WaitUntil([&] { return result != -1; }));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(s.DnsResult(), "127.0.0.1");
}

TEST(AsyncSocketLookup, NamesResolveIPv4FirstAndUnknownNamesGiveTheResolverError) {
    TAsyncSocket s;
    int result = -1;
    s.OnDnsLookupDone = [&](int error) { result = error; };
    s.DnsLookup("localhost");
    ASSERT_TRUE(WaitUntil([&] { return result != -1; }));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(s.DnsResult(), "127.0.0.1");

    result = -1;
    s.DnsLookup("no-such-host.invalid");
    ASSERT_TRUE(WaitUntil([&] { return result != -1; }));
    EXPECT_EQ(result, EAI_NONAME);
    EXPECT_EQ(ResolverErrorText(result), gai_strerror(EAI_NONAME));
}

TEST(AsyncSocketLookup, EmptyNameRaisesAndCancelledLookupStaysSilent) {
    TAsyncSocket s;
    EXPECT_EQ(ThrownText([&] { s.DnsLookup(""); }), "DNS lookup: invalid host name.");
    int calls = 0;
    s.OnDnsLookupDone = [&](int) { ++calls; };
    s.DnsLookup("127.0.0.1");
    s.CancelDnsLookup();
    s.DnsLookup("localhost");
    s.CancelDnsLookup();
    EXPECT_FALSE(s.DnsLookupPending());
    // A lookup started afterwards is the only one reported.
    s.DnsLookup("127.0.0.2");
    ASSERT_TRUE(WaitUntil([&] { return calls > 0; }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(s.DnsResult(), "127.0.0.2");
}

TEST(AsyncSocketConnect, BadAddressOrPortRaises) {
    TAsyncSocket s;
    s.Addr = "not-an-address";
    s.Port = "21";
    EXPECT_EQ(ThrownText([&] { s.Connect(); }), "Connect: invalid address not-an-address");
    s.Addr = "127.0.0.1";
    s.Port = "70000";
    EXPECT_EQ(ThrownText([&] { s.Connect(); }), "Port: invalid port 70000");
    s.Port = "no-such-service";
    EXPECT_EQ(ThrownText([&] { s.Connect(); }), "Port: unknown service no-such-service");
    EXPECT_EQ(s.State(), wsClosed);
}

TEST(AsyncSocketConnect, RefusedConnectReportsTheErrorNumber) {
    TAsyncSocket listener;
    listener.Addr = "127.0.0.1";
    listener.Listen();
    const int port = listener.LocalPort();
    listener.Close();

    TAsyncSocket s;
    int result = -1;
    s.OnSessionConnected = [&](int error) { result = error; };
    s.Addr = "127.0.0.1";
    s.Port = std::to_string(port);
    s.Connect();
    EXPECT_EQ(s.State(), wsConnecting);
    ASSERT_TRUE(WaitUntil([&] { return result != -1; }));
    EXPECT_EQ(result, ECONNREFUSED);
    EXPECT_EQ(SocketErrorText(result), "Connection refused");
    EXPECT_EQ(s.State(), wsClosed);
}

// A listener that takes over its first connection, and a client to it.
struct Pair {
    TAsyncSocket server;
    TAsyncSocket client;
    bool accepted = false;
    bool connected = false;

    Pair() {
        server.Addr = "127.0.0.1";
        server.Listen();
        server.OnSessionAvailable = [this](int) {
            server.TakeOverPendingConnection();
            accepted = true;
        };
        client.OnSessionConnected = [this](int error) { connected = error == 0; };
        client.Addr = "127.0.0.1";
        client.Port = std::to_string(server.LocalPort());
        client.Connect();
    }
    bool WaitOpen() {
        return WaitUntil([&] { return accepted && connected; });
    }
};

TEST(AsyncSocketTransfer, SendsPacedByDataSentAndDeliversEveryByte) {
    Pair p;
    ASSERT_TRUE(p.WaitOpen());
    EXPECT_EQ(p.server.State(), wsConnected);
    EXPECT_EQ(p.client.PeerPort(), p.server.LocalPort());
    EXPECT_EQ(p.client.PeerAddr(), "127.0.0.1");
    int sndbuf = 0;
    EXPECT_TRUE(p.client.ReadSendBufferSize(sndbuf));
    EXPECT_GT(sndbuf, 0);
    EXPECT_TRUE(p.client.SetLinger(false, 0));

    // The receiver takes a little at a time: what it leaves is offered again.
    std::string received;
    p.server.OnDataAvailable = [&](int) {
        char buf[100];
        const auto n = p.server.Receive(buf, sizeof buf);
        received.append(buf, size_t(n));
    };
    std::string sent;
    int blocks = 0;
    std::function<void()> sendBlock = [&] {
        if (blocks == 200)
            return;
        std::string block(1514, char('a' + blocks % 26));
        ++blocks;
        sent += block;
        EXPECT_EQ(p.client.Send(block.data(), std::int64_t(block.size())), 1514);
    };
    int depth = 0;
    int deepest = 0;
    p.client.OnDataSent = [&](int) {
        deepest = std::max(deepest, ++depth);
        sendBlock();
        --depth;
    };
    sendBlock();
    EXPECT_EQ(blocks, 1); // OnDataSent never comes from inside Send
    ASSERT_TRUE(WaitUntil([&] { return received.size() == sent.size() && blocks == 200; }));
    EXPECT_EQ(received, sent);
    EXPECT_EQ(deepest, 1);

    // Closing one end reports the close there at once, and at the peer later.
    int localClosed = -1;
    int peerClosed = -1;
    p.client.OnSessionClosed = [&](int error) { localClosed = error; };
    p.server.OnSessionClosed = [&](int error) { peerClosed = error; };
    p.client.Close();
    EXPECT_EQ(localClosed, 0);
    EXPECT_EQ(p.client.State(), wsClosed);
    EXPECT_EQ(p.client.Send("x", 1), -1);
    ASSERT_TRUE(WaitUntil([&] { return peerClosed != -1; }));
    EXPECT_EQ(peerClosed, 0);
}

TEST(AsyncSocketTransfer, DataSentJustBeforeTheCloseArrivesBeforeTheCloseEvent) {
    Pair p;
    ASSERT_TRUE(p.WaitOpen());
    std::string received;
    bool closed = false;
    std::string receivedAtClose;
    p.server.OnDataAvailable = [&](int) {
        char buf[7];
        received.append(buf, size_t(p.server.Receive(buf, sizeof buf)));
    };
    p.server.OnSessionClosed = [&](int) {
        closed = true;
        receivedAtClose = received;
    };
    const std::string text = "221 Goodbye and some more text after it\r\n";
    p.client.OnDataSent = [&](int) { p.client.Close(); };
    p.client.Send(text.data(), std::int64_t(text.size()));
    ASSERT_TRUE(WaitUntil([&] { return closed; }));
    EXPECT_EQ(receivedAtClose, text);
}

TEST(AsyncSocketTransfer, AnExceptionInAHandlerGoesToOnBgExceptionOrClosesTheSocket) {
    Pair p;
    ASSERT_TRUE(p.WaitOpen());
    std::string caught;
    p.server.OnDataAvailable = [](int) { throw std::runtime_error("handler failed"); };
    p.server.OnBgException = [&](const std::exception& e, bool& canClose) {
        caught = e.what();
        canClose = false;
    };
    p.client.Send("a", 1);
    ASSERT_TRUE(WaitUntil([&] { return !caught.empty(); }));
    EXPECT_EQ(caught, "handler failed");
    EXPECT_EQ(p.server.State(), wsConnected);

    p.server.OnBgException = nullptr;
    p.client.Send("b", 1);
    ASSERT_TRUE(WaitUntil([&] { return p.server.State() == wsClosed; }));
}

// Accepted fingerprints come from people and stored settings in any spelling;
// text that is not a whole SHA-256 digest must never match a certificate.
TEST(AsyncSocketTls, FingerprintsAreNormalizedFromAnySpellingOrRefused) {
    const std::string hex = "0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789ABCDEF";
    std::string canonical;
    for (size_t i = 0; i < hex.size(); i += 2)
        canonical += (canonical.empty() ? "" : ":") + hex.substr(i, 2);
    std::transform(canonical.begin(), canonical.end(), canonical.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    std::string spaced;
    for (size_t i = 0; i < hex.size(); i += 2)
        spaced += hex.substr(i, 2) + " ";
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {hex, canonical},
        {canonical, canonical},
        {spaced, canonical},
        {hex.substr(2), ""},       // a byte short
        {hex + "00", ""},          // a byte long
        {hex.substr(1) + "g", ""}, // not hex
        {hex.substr(1) + "-", ""}, // a separator it does not know
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NormalizeFingerprint(c.text), c.expected) << c.text;
}

TEST(AsyncSocketListen, TakingOverStopsListening) {
    Pair p;
    ASSERT_TRUE(p.WaitOpen());
    const int port = p.server.LocalPort();
    TAsyncSocket second;
    int result = -1;
    second.OnSessionConnected = [&](int error) { result = error; };
    second.Addr = "127.0.0.1";
    second.Port = std::to_string(port);
    second.Connect();
    ASSERT_TRUE(WaitUntil([&] { return result != -1; }));
    EXPECT_EQ(result, ECONNREFUSED);
}

} // namespace
