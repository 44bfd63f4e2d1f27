// ftps_upload_bench HOST PORT USER PASS LOCAL_FILE REMOTE_NAME [plain|control|data|implicit]
// Connects (FTP over TLS with protected data unless told otherwise), sets
// type I, uploads one file in passive mode and quits, the way the upload run
// drives the client. The server's certificate is taken by its fingerprint
// when FTPS_BENCH_FINGERPRINT is set (a throwaway certificate). Exits 0 on
// success; prints the failure otherwise.

#include "FtpClient.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 7) {
        std::fprintf(stderr,
                     "usage: %s HOST PORT USER PASS LOCAL_FILE REMOTE_NAME "
                     "[plain|control|data|implicit]\n",
                     argv[0]);
        return 2;
    }
    const std::string mode = argc > 7 ? argv[7] : "data";
    TFtpClient ftp;
    ftp.SetHostName(argv[1]);
    ftp.SetPort(argv[2]);
    ftp.SetUserName(argv[3]);
    ftp.SetPassWord(argv[4]);
    ftp.SetLocalFileName(argv[5]);
    ftp.SetHostFileName(argv[6]);
    ftp.SetPassive(true);
    ftp.SetTlsMode(mode == "plain"      ? ftpTlsNone
                   : mode == "control"  ? ftpTlsControl
                   : mode == "implicit" ? ftpTlsImplicit
                                        : ftpTlsControlAndData);
    if (const char* fp = std::getenv("FTPS_BENCH_FINGERPRINT"))
        ftp.SetTrustedCertificates({fp});
    int status = 0;
    ftp.OnRequestDone = [&](TCustomFtpClient*, TFtpRequest rq, int error) {
        if (error != 0 && rq != rqQuit) {
            std::fprintf(stderr, "request %d failed: %d %s\n", int(rq), error,
                         ftp.ErrorMessage().c_str());
            status = 1;
            app.exit(status);
            return;
        }
        switch (rq) {
        case rqConnect:
            ftp.TypeSet();
            break;
        case rqTypeSet:
            ftp.Put();
            break;
        case rqPut:
            ftp.Quit();
            break;
        default:
            app.exit(status);
            break;
        }
    };
    ftp.Connect();
    return app.exec();
}
