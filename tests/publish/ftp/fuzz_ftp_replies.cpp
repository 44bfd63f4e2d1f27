// Feeds arbitrary server reply bytes to the FTP reply reader and, through a
// loopback control connection, to the client's reply handlers. The input's
// first byte picks the options and the requests to run; the rest is split at
// 0xFF bytes into chunks that the server sends one after another, letting the
// client react in between, before it hangs up.

#include "FtpClient.h"
#include "FtpReplyReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

QCoreApplication* g_app = nullptr;
QTcpServer* g_server = nullptr;
std::string g_localFile;

// The input is fed over and over (up to about 200 KB) so that replies that
// never end run into the 64 KB limit: a reply may not grow past it without
// the reader saying so, and escaped text never holds a control character.
void FuzzReader(const uint8_t* data, size_t size, bool acceptLF) {
    TFtpReplyReader reader;
    std::string line;
    size_t replyBytes = 0; // bytes of the reply now being read
    std::string input;
    while (size > 0 && input.size() < 200000)
        input.append(reinterpret_cast<const char*>(data), size);
    {
        size = input.size();
        size_t pos = 0;
        while (pos < size) {
            const int taken =
                reader.Append(input.data() + pos, int(std::min<size_t>(size - pos, 1000)));
            pos += size_t(taken);
            while (reader.NextLine(acceptLF, line)) {
                replyBytes += line.size() + 1;
                if (replyBytes > TFtpReplyReader::MaxReplySize + TFtpReplyReader::BufferSize &&
                    !reader.ReplyTooLong())
                    std::abort();
                if (reader.ReplyTooLong()) {
                    reader.Clear(); // the client closes the connection here
                    replyBytes = 0;
                    continue;
                }
                ParseReplyCode(line);
                if (IsFinalReply(line))
                    replyBytes = 0;
                ExtractDirResult(line);
                int port = 0;
                ParsePasvPort(line, port);
                if (port < 0 || port > 65535)
                    std::abort();
                for (char c : EscapeServerText(line)) {
                    const auto b = static_cast<unsigned char>(c);
                    if (b < 0x20 || b == 0x7f)
                        std::abort();
                }
            }
            if (reader.Full()) {
                reader.Clear();
                replyBytes = 0;
            }
            if (taken == 0 && !reader.Full())
                break;
        }
    }
}

// Runs the event loop until nothing has happened for a few rounds.
void Settle(const unsigned& activity) {
    unsigned seen = activity;
    for (int quiet = 0, rounds = 0; quiet < 6 && rounds < 2000; ++rounds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (activity == seen) {
            ++quiet;
        } else {
            quiet = 0;
            seen = activity;
        }
    }
}

void FuzzClient(uint8_t options, const uint8_t* data, size_t size) {
    std::vector<QByteArray> chunks(1);
    for (size_t i = 0; i < size && chunks.size() <= 16; ++i) {
        if (data[i] == 0xff)
            chunks.emplace_back();
        else
            chunks.back().append(char(data[i]));
    }

    unsigned activity = 0;
    auto client = std::make_unique<TFtpClient>();
    client->SetHostName("127.0.0.1");
    client->SetPort(std::to_string(g_server->serverPort()));
    client->SetUserName("user");
    client->SetPassWord((options & 0x10) ? "" : "pass");
    client->SetHostDirName("dir");
    client->SetHostFileName("file");
    client->SetLocalFileName(g_localFile);
    client->SetOptions((options & 1) ? ftpAcceptLF : 0);
    client->SetBinary(options & 2);
    // Passive mode would connect wherever a 227 reply points: active only.
    client->SetPassive(false);
    client->OnDisplay = [&](TCustomFtpClient*, std::string&) { ++activity; };
    client->OnStateChange = [&](TCustomFtpClient*) { ++activity; };
    client->OnProgress = [&](TCustomFtpClient*, std::int64_t, bool& abort) {
        abort = (options & 0x20) != 0;
    };
    // The requests run one after another from OnRequestDone, as the upload
    // does; which ones and in which order depends on the options.
    int step = (options >> 2) & 3;
    client->OnRequestDone = [&](TCustomFtpClient*, TFtpRequest, int) {
        ++activity;
        try {
            switch (step++ % 6) {
            case 0:
                client->Cwd();
                break;
            case 1:
                client->Pwd();
                break;
            case 2:
                client->TypeSet();
                break;
            case 3:
                client->Put();
                break;
            case 4:
                client->Mkd();
                break;
            default:
                client->Quit();
                break;
            }
        } catch (const std::exception&) {
            // Misuse after the server hung up: expected.
        }
    };

    client->Connect();
    QTcpSocket* peer = nullptr;
    for (int i = 0; i < 2000 && !peer; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        peer = g_server->nextPendingConnection();
    }
    if (!peer)
        std::abort(); // the client never connected
    QObject::connect(peer, &QTcpSocket::readyRead, peer, [&, peer] {
        peer->readAll();
        ++activity;
    });
    for (const QByteArray& chunk : chunks) {
        if (peer->state() != QAbstractSocket::ConnectedState)
            break;
        peer->write(chunk);
        ++activity;
        Settle(activity);
    }
    peer->disconnectFromHost();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (client->ControlConnectionOpen() || client->State() != fsReady) {
        if (std::chrono::steady_clock::now() > deadline)
            std::abort(); // the client did not notice the server hanging up
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    Settle(activity);
    client->OnRequestDone = nullptr;
    client.reset();
    delete peer;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    g_app = new QCoreApplication(*argc, *argv);
    g_server = new QTcpServer;
    if (!g_server->listen(QHostAddress::LocalHost, 0))
        std::abort();
    g_localFile = QDir::tempPath().toStdString() + "/fuzz_ftp_replies_upload.bin";
    QFile f(QString::fromStdString(g_localFile));
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray(4000, 'u'));
    std::atexit([] { std::remove(g_localFile.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    FuzzReader(data + 1, size - 1, data[0] & 1);
    FuzzClient(data[0], data + 1, size - 1);
    return 0;
}
