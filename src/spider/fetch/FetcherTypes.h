#pragma once
// Enumerations, sets and event types of the page fetcher.
#include <cstdint>
#include <functional>
#include <string>

namespace tessaly {

class TFileFetcher;

// The major class of a content type.
enum TMimeType {
    mimeUnknown,
    mimeApplication,
    mimeAudio,
    mimeImage,
    mimeMessage,
    mimeModel,
    mimeMultipart,
    mimeText,
    mimeVideo,
};
// A set of TMimeType: bit n stands for the value n.
using TDownloadFileTypes = unsigned;

// The tag and attribute pairs the links plug-in can report.
enum TLinkType {
    ltA_href,
    ltAPPLET_code,
    ltAREA_href,
    ltBGSOUND_src,
    ltBODY_background,
    ltFRAME_src,
    ltIFRAME_src,
    ltINPUT_src,
    ltIMG_src,
    ltLINK_href,
    ltOBJECT_data,
    ltSCRIPT_src,
    ltTABLE_background,
    ltTD_background,
    ltTH_background,
};
// A set of TLinkType: bit n stands for the value n (15 bits).
using TLinkTypes = unsigned;
constexpr TLinkTypes AllLinkTypes = (1u << 15) - 1;

using THTTPProgressEvent = std::function<void(
    TFileFetcher* Sender, const std::string& ContentType, std::int64_t FileSize,
    std::int64_t BytesRead, std::int64_t ElapsedTime, std::int64_t EstimatedTimeLeft,
    std::uint8_t PercentsDone, float TransferRate)>;
using THTTPStatusMessage =
    std::function<void(TFileFetcher* Sender, const std::string& StatusMessage)>;
using THTTPOnLinkEvent =
    std::function<void(TFileFetcher* Sender, const std::string& HTMLTag, const std::string& OrgLink,
                       const std::string& ResolvedLink)>;

} // namespace tessaly
