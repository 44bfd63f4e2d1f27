#pragma once

// The FTP client component as the upload uses it: connect and log in,
// change or report the remote folder, set the transfer type, make a folder,
// store files, quit. Every request returns at once and ends with
// OnRequestDone; misuse raises FtpException at once.

#include "AsyncSocket.h" // ESocketException
#include "CustomFtpClient.h"
#include "FtpException.h"

class TFtpClient : public TCustomFtpClient {
  public:
    using TCustomFtpClient::TCustomFtpClient;

    // Name lookup, connect, greeting, USER and, when asked for, PASS.
    // Reported as rqConnect.
    void Connect();
    // "CWD " + HostDirName (rqCwd).
    void Cwd();
    // "PWD" (rqPwd); the folder named in the reply goes to DirResult.
    void Pwd();
    // "TYPE I" when Binary, else "TYPE A" (rqTypeSet).
    void TypeSet();
    // PORT or PASV, then "STOR " + HostFileName sending LocalFileName.
    // Reported as rqPut.
    void Put();
    // "MKD " + HostFileName (rqMkd).
    void Mkd();
    // "QUIT", then the control connection is closed (rqQuit).
    void Quit();
};
