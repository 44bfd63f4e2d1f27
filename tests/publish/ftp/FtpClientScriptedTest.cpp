// The FTP client against a scripted server: login corners, replies that fail
// each request, the upload's data path in both modes, aborts and misuse.

#include "AsyncSocket.h"
#include "FtpTestSupport.h"
#include "ScriptedFtpServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <netdb.h>

namespace {

class ScriptedFtp : public ::testing::Test {
  protected:
    ScriptedFtpServer server;
    TFtpClient client;
    FtpRecorder rec{client};
    QTemporaryDir tmp;

    void SetUp() override {
        client.SetHostName("127.0.0.1");
        client.SetPort(std::to_string(server.Port()));
        client.SetUserName("user");
        client.SetPassWord("secret");
        client.SetPassive(true);
    }

    std::string WriteFile(const QByteArray& data, const QString& name = "up.bin") {
        const QString path = tmp.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(data);
        return path.toStdString();
    }

    void ConnectOk() {
        const size_t before = rec.done.size();
        client.Connect();
        ASSERT_TRUE(rec.WaitDone(before + 1));
        ASSERT_EQ(rec.Last(), (RequestDone{rqConnect, 0})) << client.ErrorMessage();
    }

    // Runs one request and waits for its end.
    RequestDone Run(const std::function<void()>& start) {
        const size_t before = rec.done.size();
        start();
        EXPECT_TRUE(rec.WaitDone(before + 1));
        return rec.done.size() > before ? rec.done[before] : RequestDone{rqNone, -1};
    }
};

template <class F> std::string ThrownText(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

TEST_F(ScriptedFtp, TypicalUpload_RunsEachStepFromRequestDoneWithTheseStates) {
    const QByteArray data = RandomBytes(10000);
    client.SetHostDirName("/site");
    client.SetLocalFileName(WriteFile(data));
    client.SetHostFileName("a.bin");
    // Each step starts inside the previous step's OnRequestDone, as the
    // upload window does it.
    rec.next = [&](TFtpRequest rq, int error) {
        if (error != 0)
            return;
        switch (rq) {
        case rqConnect:
            client.Cwd();
            break;
        case rqCwd:
            client.TypeSet();
            break;
        case rqTypeSet:
            client.Put();
            break;
        case rqPut:
            client.Quit();
            break;
        default:
            break;
        }
    };
    std::vector<int> sessionEvents; // +1 connected, -1 closed
    client.OnSessionConnected = [&](TCustomFtpClient*, int error) {
        sessionEvents.push_back(error == 0 ? 1 : 100);
    };
    client.OnSessionClosed = [&](TCustomFtpClient*, int error) {
        sessionEvents.push_back(error == 0 ? -1 : -100);
    };
    client.Connect();
    EXPECT_TRUE(client.State() == fsDnsLookup);
    ASSERT_TRUE(rec.WaitDone(5));
    EXPECT_EQ(sessionEvents, (std::vector<int>{1, -1}));

    const std::vector<RequestDone> done = {
        {rqConnect, 0}, {rqCwd, 0}, {rqTypeSet, 0}, {rqPut, 0}, {rqQuit, 0}};
    EXPECT_EQ(rec.done, done);
    const std::vector<TFtpState> states = {
        // Connect: lookup, connect, greeting, USER, PASS
        fsDnsLookup, fsWaitingBanner, fsConnected, fsInternalReady, fsWaitingResponse,
        fsInternalReady, fsWaitingResponse, fsReady,
        // CWD, TYPE
        fsWaitingResponse, fsReady, fsWaitingResponse, fsReady,
        // PASV, data connection, STOR
        fsWaitingResponse, fsInternalReady, fsWaitingResponse, fsReady,
        // QUIT, then the control connection closes
        fsWaitingResponse, fsNotConnected, fsInternalReady, fsReady};
    EXPECT_EQ(rec.states, states);
    const std::vector<std::string> commands = {"USER user", "PASS secret", "CWD /site", "TYPE I",
                                               "PASV",      "STOR a.bin",  "QUIT"};
    EXPECT_EQ(server.commands, commands);
    EXPECT_EQ(server.uploaded, data);
    EXPECT_EQ(client.DirResult(), "/site");
    EXPECT_EQ(client.ByteCount(), data.size());
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.ControlConnectionOpen());
    EXPECT_EQ(client.ErrorMessage(), "");
    EXPECT_TRUE(rec.Displayed("> STOR a.bin"));
    EXPECT_TRUE(rec.Displayed("< 226 Transfer complete"));
    const QRegularExpression stats(
        "^! 10000 bytes received/sent in \\d+ seconds( \\(\\d+ Bytes/sec\\))?$");
    EXPECT_TRUE(std::any_of(rec.display.begin(), rec.display.end(), [&](const std::string& l) {
        return stats.match(QString::fromStdString(l)).hasMatch();
    }));
}

// ------------------------------------------------------------------ login

struct LoginCase {
    const char* name;
    QByteArray greeting;
    std::map<std::string, QByteArray> replies;
    int error;
    std::string errorMessage;
    std::vector<std::string> commands;
    bool connected; // a refused login keeps the connection for QUIT
};

class ScriptedLogin : public ScriptedFtp, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(ScriptedLogin, EndsWithCodeAndMessage) {
    const LoginCase& c = GetParam();
    server.greeting = c.greeting;
    server.replies = c.replies;
    client.Connect();
    ASSERT_TRUE(rec.WaitDone());
    EXPECT_EQ(rec.Last(), (RequestDone{rqConnect, c.error}));
    EXPECT_EQ(client.RequestResult(), c.error);
    EXPECT_EQ(client.ErrorMessage(), c.errorMessage);
    EXPECT_EQ(server.commands, c.commands);
    EXPECT_EQ(client.Connected(), c.connected);
    EXPECT_EQ(client.ControlConnectionOpen(), c.connected);
    EXPECT_EQ(client.State(), fsReady);
}

const std::vector<std::string> kUserPass = {"USER user", "PASS secret"};

INSTANTIATE_TEST_SUITE_P(
    Cases, ScriptedLogin,
    ::testing::Values(
        // Continuation lines and a line without a code do not count as the
        // greeting; only its last line does.
        LoginCase{"MultiLineGreeting",
                  "220-Welcome\r\n220-second line\r\n 220 indented text\r\n220 ready\r\n",
                  {},
                  0,
                  "",
                  kUserPass,
                  true},
        LoginCase{"UserAnswered230SkipsPass",
                  "220 ready\r\n",
                  {{"USER", "230 No password needed\r\n"}},
                  0,
                  "",
                  {"USER user"},
                  true},
        LoginCase{"PassAnswered202Fails",
                  "220 ready\r\n",
                  {{"PASS", "202 Command not needed\r\n"}},
                  202,
                  "202 Command not needed",
                  kUserPass,
                  true},
        LoginCase{"UserRefused",
                  "220 ready\r\n",
                  {{"USER", "530 Not allowed\r\n"}},
                  530,
                  "530 Not allowed",
                  {"USER user"},
                  true},
        LoginCase{
            "GreetingNot220", "421 Too many users\r\n", {}, 421, "421 Too many users", {}, false},
        // A server that never ends its reply is cut off at 64 KB, however
        // much more it sends.
        LoginCase{"EndlessMultiLineGreeting",
                  QByteArray("220-welcome\r\n").repeated(100000),
                  {},
                  500,
                  "The server sent a reply longer than 64 KB; the connection was closed.",
                  {},
                  false},
        // Terminal controls in a reply are shown escaped, never raw.
        LoginCase{"EscapeSequencesInAReply",
                  "220 ready\r\n",
                  {{"USER", "530 \x1b]0;owned\x07\x1b[2J\x9b no\r\n"}},
                  530,
                  "530 \\x1b]0;owned\\x07\\x1b[2J\\x9b no",
                  {"USER user"},
                  true},
        LoginCase{"GreetingLongerThanTheBuffer",
                  QByteArray(5000, 'x'),
                  {},
                  500,
                  "500 Reply line too long",
                  {},
                  false},
        // 4095 characters and the line feed do not fit in 4095 bytes ...
        LoginCase{"LineOf4095Characters",
                  "220 " + QByteArray(4091, 'x') + "\n",
                  {},
                  500,
                  "500 Reply line too long",
                  {},
                  false},
        // ... 4094 and the line feed do.
        LoginCase{"LineOf4094Characters",
                  "220 " + QByteArray(4090, 'x') + "\n",
                  {},
                  0,
                  "",
                  kUserPass,
                  true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptedFtp, Connect_EmptyPasswordAskedForFailsTheLogin) {
    client.SetPassWord("");
    client.Connect();
    ASSERT_TRUE(rec.WaitDone());
    EXPECT_EQ(rec.Last(), (RequestDone{rqConnect, 500}));
    EXPECT_EQ(client.ErrorMessage(), "500 FtpException: Password empty");
}

TEST_F(ScriptedFtp, Connect_RefusedConnectionSaysSoInPlainWords) {
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 port = closed.serverPort();
    closed.close();
    client.SetPort(std::to_string(port));
    client.Connect();
    ASSERT_TRUE(rec.WaitDone());
    EXPECT_EQ(rec.Last(), (RequestDone{rqConnect, ECONNREFUSED}));
    EXPECT_EQ(client.ErrorMessage(),
              "Could not connect to 127.0.0.1:" + std::to_string(port) + ": connection refused");
    EXPECT_EQ(client.StatusCode(), 500);
    EXPECT_EQ(rec.states, (std::vector<TFtpState>{fsDnsLookup, fsWaitingBanner, fsReady}));
    EXPECT_FALSE(client.Connected());
}

TEST_F(ScriptedFtp, Connect_UnknownHostNamesTheHostAndTheResolversReason) {
    client.SetHostName("no-such-host.invalid");
    client.Connect();
    ASSERT_TRUE(rec.WaitDone());
    EXPECT_EQ(rec.Last(), (RequestDone{rqConnect, EAI_NONAME}));
    EXPECT_EQ(client.ErrorMessage(),
              "Could not find the host no-such-host.invalid: name or service not known");
    EXPECT_EQ(client.RequestResult(), 500);
    EXPECT_EQ(rec.states, (std::vector<TFtpState>{fsDnsLookup, fsReady}));
}

TEST_F(ScriptedFtp, Connect_HostNameIsLookedUp) {
    client.SetHostName("localhost");
    ConnectOk();
}

// ------------------------------------------------------- single requests

enum class Op { Cwd, Pwd, TypeSet, Mkd, Quit };

struct RequestCase {
    const char* name;
    Op op;
    std::string word;
    QByteArray reply;
    TFtpRequest kind;
    int error;
    std::string errorMessage;
    std::string dirResult;
};

class ScriptedRequest : public ScriptedFtp, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(ScriptedRequest, EndsWithKindCodeAndMessage) {
    const RequestCase& c = GetParam();
    server.replies[c.word] = c.reply;
    ConnectOk();
    client.SetHostDirName("/d");
    client.SetHostFileName("/n");
    const RequestDone d = Run([&] {
        switch (c.op) {
        case Op::Cwd:
            client.Cwd();
            break;
        case Op::Pwd:
            client.Pwd();
            break;
        case Op::TypeSet:
            client.TypeSet();
            break;
        case Op::Mkd:
            client.Mkd();
            break;
        case Op::Quit:
            client.Quit();
            break;
        }
    });
    EXPECT_EQ(d, (RequestDone{c.kind, c.error}));
    EXPECT_EQ(client.ErrorMessage(), c.errorMessage);
    EXPECT_EQ(client.DirResult(), c.dirResult);
    EXPECT_EQ(client.State(), fsReady);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScriptedRequest,
    ::testing::Values(
        RequestCase{"Cwd250", Op::Cwd, "CWD", "250 \"/d\" is current\r\n", rqCwd, 0, "", "/d"},
        RequestCase{"Cwd200", Op::Cwd, "CWD", "200 ok\r\n", rqCwd, 0, "", ""},
        RequestCase{"Cwd550", Op::Cwd, "CWD", "550 No such directory\r\n", rqCwd, 550,
                    "550 No such directory", ""},
        RequestCase{"Pwd257", Op::Pwd, "PWD", "257 \"/home/\"\"q\"\"\" is current\r\n", rqPwd, 0,
                    "", "/home/\"q\""},
        RequestCase{"Pwd500", Op::Pwd, "PWD", "500 Unknown\r\n", rqPwd, 500, "500 Unknown", ""},
        RequestCase{"TypeSet200", Op::TypeSet, "TYPE", "200 Type set to I\r\n", rqTypeSet, 0, "",
                    ""},
        RequestCase{"TypeSet504", Op::TypeSet, "TYPE", "504 Not supported\r\n", rqTypeSet, 504,
                    "504 Not supported", ""},
        RequestCase{"Mkd257", Op::Mkd, "MKD", "257 \"/n\" created\r\n", rqMkd, 0, "", "/n"},
        // MKD must answer 257; 250 is not accepted.
        RequestCase{"Mkd250", Op::Mkd, "MKD", "250 Directory created\r\n", rqMkd, 250,
                    "250 Directory created", ""},
        RequestCase{"MultiLineReplyCountsAtItsEnd", Op::Pwd, "PWD",
                    "257-first\r\n257-second\r\n257 \"/m\" is current\r\n", rqPwd, 0, "", "/m"},
        // A code that reads as 0 is still a refusal.
        RequestCase{"PwdCodeZero", Op::Pwd, "PWD", "000 odd\r\n", rqPwd, 500, "000 odd", ""},
        RequestCase{"Quit500", Op::Quit, "QUIT", "500 No\r\n", rqQuit, 500, "500 No", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The refusal of MKD after a refused CWD is MKD's own, not the CWD's.
TEST_F(ScriptedFtp, SingleRequests_ReportTheirOwnError) {
    server.replies["CWD"] = "550 Missing\r\n";
    server.replies["MKD"] = "521 Refused\r\n";
    ConnectOk();
    client.SetHostDirName("/d");
    client.SetHostFileName("/d");
    EXPECT_EQ(Run([&] { client.Cwd(); }), (RequestDone{rqCwd, 550}));
    EXPECT_EQ(client.ErrorMessage(), "550 Missing");
    EXPECT_EQ(Run([&] { client.Mkd(); }), (RequestDone{rqMkd, 521}));
    EXPECT_EQ(client.ErrorMessage(), "521 Refused");
    EXPECT_EQ(client.RequestResult(), 521);
    server.replies.erase("CWD");
    EXPECT_EQ(Run([&] { client.Cwd(); }), (RequestDone{rqCwd, 0}));
    EXPECT_EQ(client.ErrorMessage(), "");
    client.SetLocalFileName(WriteFile("x"));
    EXPECT_EQ(Run([&] { client.Put(); }), (RequestDone{rqPut, 0}));
    EXPECT_EQ(client.ErrorMessage(), "");
}

TEST_F(ScriptedFtp, OnCommandMayRewriteTheCommandSent) {
    ConnectOk();
    client.OnCommand = [](TCustomFtpClient*, std::string& cmd) {
        if (cmd == "PWD")
            cmd = "XPWD";
    };
    EXPECT_EQ(Run([&] { client.Pwd(); }), (RequestDone{rqPwd, 502}));
    EXPECT_EQ(server.commands.back(), "XPWD");
    EXPECT_TRUE(rec.Displayed("> XPWD"));
}

TEST_F(ScriptedFtp, ServerHangingUpFailsTheRunningRequest) {
    server.hangUpOn = "CWD";
    ConnectOk();
    client.SetHostDirName("/d");
    EXPECT_EQ(Run([&] { client.Cwd(); }), (RequestDone{rqCwd, 500}));
    EXPECT_EQ(client.ErrorMessage(), "500 Connection closed by the server");
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.ControlConnectionOpen());
    EXPECT_EQ(client.State(), fsReady);
}

// ------------------------------------------------------------------ upload

struct UploadCase {
    const char* name;
    bool passive;
    ScriptedFtpServer::FinalReply finalReply;
    int size;
};

class ScriptedUpload : public ScriptedFtp, public ::testing::WithParamInterface<UploadCase> {};

TEST_P(ScriptedUpload, SendsTheFileAndCompletesOnce) {
    const UploadCase& c = GetParam();
    server.finalReply = c.finalReply;
    client.SetPassive(c.passive);
    const QByteArray data = RandomBytes(size_t(c.size));
    client.SetLocalFileName(WriteFile(data));
    client.SetHostFileName("f.bin");
    std::vector<std::int64_t> progress;
    client.OnProgress = [&](TCustomFtpClient*, std::int64_t count, bool&) {
        progress.push_back(count);
    };
    ConnectOk();
    EXPECT_EQ(Run([&] { client.Put(); }), (RequestDone{rqPut, 0})) << client.ErrorMessage();
    EXPECT_TRUE(WaitUntil([&] { return server.dataConnectionClosed; }));
    EXPECT_EQ(server.uploaded, data);
    EXPECT_EQ(client.ByteCount(), c.size);
    // Blocks of at most 1514 bytes, one progress event each, the last one
    // reporting the whole file.
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), c.size);
    EXPECT_EQ(progress.size(), size_t(c.size + 1513) / 1514 + 1);
    if (!c.passive) {
        const QRegularExpression portCmd("^PORT 127,0,0,1,\\d+,\\d+$");
        EXPECT_TRUE(portCmd.match(QString::fromStdString(server.commands[2])).hasMatch())
            << server.commands[2];
    }
    // A second completion of the upload would arrive before this one.
    EXPECT_EQ(Run([&] { client.Pwd(); }), (RequestDone{rqPwd, 0}));
    EXPECT_EQ(rec.done.size(), 3u);
}

using FR = ScriptedFtpServer::FinalReply;
INSTANTIATE_TEST_SUITE_P(
    Cases, ScriptedUpload,
    ::testing::Values(UploadCase{"PassiveFinalAfterClose", true, FR::AfterDataClose, 5000},
                      UploadCase{"PassiveFinalBeforeClose", true, FR::WithFirstReply, 5000},
                      UploadCase{"PassiveZeroBytes", true, FR::AfterDataClose, 0},
                      UploadCase{"PassiveExactBlock", true, FR::AfterDataClose, 1514},
                      UploadCase{"ActiveFinalAfterClose", false, FR::AfterDataClose, 5000},
                      UploadCase{"ActiveFinalBeforeClose", false, FR::WithFirstReply, 5000},
                      UploadCase{"ActiveZeroBytes", false, FR::WithFirstReply, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptedFtp, Put_PassiveIgnoresTheAddressIn227) {
    server.pasvAddress = "10,9,8,7";
    const QByteArray data = RandomBytes(3000);
    client.SetLocalFileName(WriteFile(data));
    client.SetHostFileName("f.bin");
    ConnectOk();
    EXPECT_EQ(Run([&] { client.Put(); }), (RequestDone{rqPut, 0})) << client.ErrorMessage();
    EXPECT_TRUE(WaitUntil([&] { return server.dataConnectionClosed; }));
    EXPECT_EQ(server.uploaded, data);
    EXPECT_EQ(client.PasvResponse().rfind("227 Entering Passive Mode (10,9,8,7,", 0), 0u);
}

struct UploadFailure {
    const char* name;
    std::function<void(ScriptedFtpServer&, TFtpClient&)> setup;
    int error;
    std::string errorMessage; // "$FILE" stands for the local file's path
    std::string shown;        // a line OnDisplay must have shown, if any
};

class ScriptedUploadFailure : public ScriptedFtp,
                              public ::testing::WithParamInterface<UploadFailure> {};

TEST_P(ScriptedUploadFailure, EndsWithCodeAndMessage) {
    const UploadFailure& c = GetParam();
    const std::string file = WriteFile(RandomBytes(20000));
    client.SetLocalFileName(file);
    client.SetHostFileName("f.bin");
    c.setup(server, client);
    ConnectOk();
    EXPECT_EQ(Run([&] { client.Put(); }), (RequestDone{rqPut, c.error}));
    std::string expected = c.errorMessage;
    if (auto at = expected.find("$FILE"); at != std::string::npos)
        expected.replace(at, 5, client.LocalFileName());
    EXPECT_EQ(client.ErrorMessage(), expected);
    if (!c.shown.empty()) {
        EXPECT_TRUE(rec.Displayed(c.shown)) << c.shown;
    }
    EXPECT_EQ(client.State(), fsReady);
    EXPECT_EQ(client.DataSocket().State(), wsClosed);
    // The control connection stays usable.
    EXPECT_EQ(Run([&] { client.Pwd(); }), (RequestDone{rqPwd, 0}));
}

quint16 ClosedPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScriptedUploadFailure,
    ::testing::Values(
        UploadFailure{"PasvRefused",
                      [](ScriptedFtpServer& s, TFtpClient&) {
                          s.replies["PASV"] = "502 No passive mode\r\n";
                      },
                      502, "502 No passive mode", ""},
        UploadFailure{"PortRefused",
                      [](ScriptedFtpServer& s, TFtpClient& c) {
                          c.SetPassive(false);
                          s.replies["PORT"] = "501 Bad address\r\n";
                      },
                      501, "501 Bad address", ""},
        UploadFailure{
            "StorRefused",
            [](ScriptedFtpServer& s, TFtpClient&) { s.storFirstReply = "553 Not allowed\r\n"; },
            553, "553 Not allowed", ""},
        UploadFailure{
            "FinalReplyFailed",
            [](ScriptedFtpServer& s, TFtpClient&) { s.storFinalReply = "451 Disk full\r\n"; }, 451,
            "451 Disk full", "! STOR Failed"},
        UploadFailure{"DataConnectionRefused",
                      [](ScriptedFtpServer& s, TFtpClient&) { s.pasvPort = ClosedPort(); }, 550,
                      "Unable to establish data connection, error #" + std::to_string(ECONNREFUSED),
                      ""},
        UploadFailure{"LocalFileMissing",
                      [](ScriptedFtpServer&, TFtpClient& c) {
                          c.SetLocalFileName(c.LocalFileName() + ".missing");
                      },
                      426, "426 Unable to open local file $FILE", ""},
        UploadFailure{"LocalFileIsAFolder",
                      [](ScriptedFtpServer&, TFtpClient& c) {
                          const std::string f = c.LocalFileName();
                          c.SetLocalFileName(f.substr(0, f.rfind('/')));
                      },
                      426, "426 Unable to open local file $FILE", ""},
        UploadFailure{"CancelledBeforeTransmit",
                      [](ScriptedFtpServer&, TFtpClient& c) {
                          c.OnReadyToTransmit = [](TCustomFtpClient*, bool& cancel) {
                              cancel = true;
                          };
                      },
                      426, "426 Transmit cancelled by application",
                      "! 426 Transmit cancelled by application"},
        // Cutting the upload short must not pass for a complete file.
        UploadFailure{"AbortFromProgress",
                      [](ScriptedFtpServer&, TFtpClient& c) {
                          c.OnProgress = [](TCustomFtpClient*, std::int64_t count, bool& abort) {
                              abort = count >= 3000;
                          };
                      },
                      426, "426 Abort requested", "! Abort requested"}),
    [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------------- abort

TEST_F(ScriptedFtp, AbortSession_StopsARequestTheServerNeverAnswers) {
    server.replies["CWD"] = ""; // silence
    ConnectOk();
    client.SetHostDirName("/d");
    client.Cwd();
    ASSERT_TRUE(WaitUntil([&] { return server.commands.size() == 3; }, 5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(rec.done.size(), 1u); // no time limit of its own
    client.SetTimeout(1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.AbortSession());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(client.State(), fsReady);
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.ControlConnectionOpen());
    ASSERT_TRUE(rec.WaitDone(2));
    EXPECT_EQ(rec.Last(), (RequestDone{rqCwd, 426}));
    EXPECT_EQ(client.ErrorMessage(), "426 Operation aborted.");
}

TEST_F(ScriptedFtp, AbortSession_WhileIdleClosesAndReturnsTrue) {
    ConnectOk();
    EXPECT_TRUE(client.AbortSession());
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.ControlConnectionOpen());
    EXPECT_EQ(client.State(), fsReady);
    // A new session can start at once.
    ConnectOk();
    EXPECT_EQ(server.controlConnections, 2);
}

TEST_F(ScriptedFtp, AbortSession_DuringTheGreetingAndDuringAnUpload) {
    server.greeting = "";
    client.Connect();
    ASSERT_TRUE(WaitUntil([&] { return server.controlConnections == 1; }, 5000));
    EXPECT_FALSE(client.AbortSession());
    ASSERT_TRUE(rec.WaitDone());
    EXPECT_EQ(rec.Last(), (RequestDone{rqConnect, 426}));

    server.greeting = "220 ready\r\n";
    server.finalReply = ScriptedFtpServer::FinalReply::Never;
    client.SetLocalFileName(WriteFile(RandomBytes(4000)));
    client.SetHostFileName("f.bin");
    ConnectOk();
    client.Put();
    ASSERT_TRUE(WaitUntil([&] { return server.dataConnectionClosed; }, 5000));
    EXPECT_FALSE(client.AbortSession());
    ASSERT_TRUE(rec.WaitDone(3));
    EXPECT_EQ(rec.Last(), (RequestDone{rqPut, 426}));
    EXPECT_EQ(client.ErrorMessage(), "426 Operation aborted.");
}

TEST_F(ScriptedFtp, AbortSession_GivesUpAfterTimeoutWhenTheClientDoesNotSettle) {
    ConnectOk();
    server.greeting = ""; // from now on a server that never greets
    // A handler that opens a new session as soon as the abort leaves the
    // client ready keeps it from settling.
    bool restarted = false;
    client.OnStateChange = [&](TCustomFtpClient* c) {
        if (c->State() == fsReady && !restarted && !c->Connected()) {
            restarted = true;
            client.Connect();
        }
    };
    client.SetTimeout(1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.AbortSession());
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::seconds(5));
    EXPECT_EQ(client.ErrorMessage(), "426 Timeout");
    EXPECT_EQ(client.RequestResult(), 426);
    EXPECT_EQ(client.State(), fsReady);
    EXPECT_FALSE(client.ControlConnectionOpen());
}

// ------------------------------------------------------------------ misuse

TEST_F(ScriptedFtp, Misuse_RaisesAtOnceWithItsText) {
    EXPECT_EQ(ThrownText([&] { client.Cwd(); }), "FTP component not connected");
    EXPECT_EQ(ThrownText([&] { client.Put(); }), "FTP component not connected");
    EXPECT_EQ(ThrownText([&] { client.Quit(); }), "FTP component not connected");
    client.SetUserName("");
    EXPECT_EQ(ThrownText([&] { client.Connect(); }), "UserName empty");
    client.SetUserName("user");
    client.SetHostName("");
    EXPECT_EQ(ThrownText([&] { client.Connect(); }), "DNS lookup: invalid host name.");
    client.SetHostName("127.0.0.1");
    EXPECT_EQ(client.State(), fsReady);
    EXPECT_TRUE(rec.states.empty());

    client.Connect();
    EXPECT_EQ(ThrownText([&] { client.Pwd(); }), "FTP component not ready");
    ASSERT_TRUE(rec.WaitDone());
    EXPECT_EQ(ThrownText([&] { client.Connect(); }), "FTP component already connected");
    EXPECT_EQ(ThrownText([&] { client.Cwd(); }), "HostDirName empty");
    EXPECT_EQ(ThrownText([&] { client.Put(); }), "LocalFileName empty");
    EXPECT_EQ(ThrownText([&] { client.SetConnectionType(ftpSocks5); }), "FTP component connected");
    EXPECT_EQ(client.ConnectionType(), ftpDirect);
    // None of them disturbed the session.
    EXPECT_EQ(Run([&] { client.Pwd(); }), (RequestDone{rqPwd, 0}));
    EXPECT_EQ(rec.done.size(), 2u);
}

TEST_F(ScriptedFtp, Misuse_InsideOnRequestDoneGoesToOnBgException) {
    std::vector<std::string> caught;
    client.OnBgException = [&](TCustomFtpClient*, const std::exception& e) {
        caught.push_back(e.what());
    };
    rec.next = [&](TFtpRequest rq, int) {
        if (rq == rqConnect)
            client.Cwd(); // HostDirName is empty
    };
    ConnectOk();
    ASSERT_TRUE(WaitUntil([&] { return !caught.empty(); }));
    EXPECT_EQ(caught, (std::vector<std::string>{"HostDirName empty"}));
    // Without a handler the exception is dropped and the client carries on.
    client.OnBgException = nullptr;
    rec.next = [&](TFtpRequest rq, int) {
        if (rq == rqPwd)
            client.Put(); // LocalFileName is empty
    };
    EXPECT_EQ(Run([&] { client.Pwd(); }), (RequestDone{rqPwd, 0}));
    client.SetHostDirName("/d");
    EXPECT_EQ(Run([&] { client.Cwd(); }), (RequestDone{rqCwd, 0}));
}

TEST(FtpClientDefaults, PublishedPropertiesStartWithTheirDefaults) {
    TFtpClient c;
    EXPECT_EQ(c.Timeout(), 15);
    EXPECT_FALSE(c.MultiThreaded());
    EXPECT_EQ(c.HostName(), "");
    EXPECT_EQ(c.Port(), "ftp");
    EXPECT_TRUE(c.Binary());
    EXPECT_FALSE(c.DisplayFileFlag());
    EXPECT_EQ(c.ShareMode(), ftpShareExclusive);
    EXPECT_EQ(c.Options(), TFtpOptions(ftpAcceptLF));
    EXPECT_EQ(c.ConnectionType(), ftpDirect);
    EXPECT_EQ(c.State(), fsReady);
    EXPECT_FALSE(c.Connected());
    EXPECT_FALSE(c.ControlConnectionOpen());
    // Every connection type but a direct one needs passive mode.
    c.SetConnectionType(ftpProxy);
    c.SetPassive(false);
    EXPECT_TRUE(c.Passive());
    c.SetConnectionType(ftpDirect);
    c.SetPassive(false);
    EXPECT_FALSE(c.Passive());
}

} // namespace
