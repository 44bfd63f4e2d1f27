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

    // Name lookup, connect, greeting (under TLS from the first byte when
    // implicit), FEAT for a plain session when asked for, AUTH TLS, PBSZ and
    // PROT under TLS, USER and, when asked for, PASS.
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
    // PORT or PASV, then "LIST"; the listing goes to Listing (rqDir).
    void List();
    // "MKD " + HostFileName (rqMkd).
    void Mkd();
    // "QUIT", then the control connection is closed (rqQuit).
    void Quit();
};
