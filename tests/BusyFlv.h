#pragma once

// A 1,458-byte FLV found by fuzzing: an onMetaData tag, a tag of type 198
// that claims 11 MB, then data read as Nellymoser sound whose samples decode
// to millions of times full scale. It once kept the sound encoder busy for
// minutes; the conversion and the command line tool must both end quickly.

#include <string>

namespace vidlume::test {

inline std::string busyFlv()
{
    const char* const base64 =
        "RkxWAQQAAAAJAAAAABIAAMEAAAAAAAAAAgAKb25NZXRhRGF0YQgAAAAIAAhkdXJhdGlvbgA/z752"
        "yLQ5WAANYXVkaW9kYXRhcmF0ZQBAX0AAAAAAAAAPYXVkaW9zYW1wbGVyYXRlAEC/QAAAAAAAAA9h"
        "dWRpb3NhbXBsZXNpemUAQDAAAAAAAAAABnN0ZXJlbwEAAAxhdWRpb2NvZGVjaWQAQBgAAAAAAACJ"
        "5Njh5XQG24rItqEXevHw8JzZnZucAAAATAgAAEEAAKAAAAAAUsOk1eZvwvT///+cizHGqKpYR/J4"
        "d3S5aHk3FK9x5mVmWlo6ZmbnYscr1ZQwTh5dPljSfcXqJJmRmZaWlpmZuZkAAABMCAAAQQAAwAAA"
        "AABSooxT2v0Oas0599x7D0LY3d3d3a65+Q8TQSKSBEmSBAAAAAAAAAAA3OHd4d1Jea0Si6RpURRF"
        "UczMzMysqqqqKgAAAEwIAABBAADYAAAAAFJAijHGGGOMAABAAAAAAFLCpNVir4E5jTXWHIwxxuiE"
        "bYIbKpuJ8t3tjXcx0Mu87HBmZmbGZgZUWafYtgtk9ntnj4NdFTMzM1s6ORszs5sBAAAATAgAAEEA"
        "AGAAAAAAUkCu9uI/gUFsNdZcjDHGeFHvUMYOA9Y7Z6dEXZ5yIzdaOrMzs4MRu7qyTXI1ZHw6ztFs"
        "QbaHWqmVnszMzNzYxIwAAABMCAAAQQAAgAAAAABSwqz15r8AWoox1xyMMcaoLtkldVeJh/PaXZtS"
        "u6hWasXDwzMzM2Nfy8z1ieTY4eV0BtuKyLahF3rx8PCc2Z2bnAAAAEwIAABBAACgAAAAAFLDpNXm"
        "b8JpijHnnIsxxqiqWEfyeHd0uWh5NxSvceZlZlpaOmZm52LHK9WUME4eXT5Y0n3F6iSZkZmWlpaZ"
        "mbmZAAAATAgAAEEAAMAAAAAAUqKMU9r9DmrNMPfcew9C2N3d3d2uufkPE0EikgRJkgQAAAAAAAAA"
        "ANzh3eHdSXmtEoukMcYYY4wxxripqqqqqqqqqqqqqqqqqqqqqqr///////9vqqqqqqqqqghmaWxl"
        "c2l6ZQBAiugAAAAAAAAACQAAAMwIAABBAAAAAAAAAFKijHPSPclirr3mHnwOQijdIt0zNC/QVLbc"
        "BHNQJ33Qw8PDw5mZOzPjHeIdwuciOPigfIe4bdu2zdLS0tL/////AAAATAgAAEEAACAAAAAAUkSc"
        "tWKvgTmNOdacizHGyDTcM6sPY5eA7tUXqXZkrdAKDw+PmZmZGSzNdo3utbTlsnu2RuQtSSu0wkPD"
        "Y2ZmRgYAAABMCAAAQQAAQAAAAABSwqTVYq+BOY011hyMMcbohG2CGyqbifLd7Y13MdDLvOxwZmZm"
        "xmYGVFmn2LYLZPZ7Z4+DXRUzMzNbOjkbM7ObAQAAAEwIAABBAABgAAAAAFJArvbiP4FBbDXWXIwx"
        "xnhR71DGDgPWO2enRF2eciM3WjqzM7ODEbu6sk1yNWR8Os7RbEG2h1qplZ7MzMzc2MSMAAAATAgA"
        "AEEAAIAAAAAAUsKs9ea/AFqKMdccjDHGqC7ZJXVXiYfz2l2bUruoVmrFw8MzMzNjX8vM9Ynk2OHl"
        "dAbbisi2oRd68fDwnNmdm5wAAABMCAAAQQAAoAAAAABSw6TV5m/CaYox55yLMcaoqlhH8nh3dLlo"
        "eTcUr3HmZWZaWjpmZudixyvVlDBOHl0+WNJ9xeokmZGZlpaWmZm5mQAAAEwIAABBAADAAAAAAFKi"
        "jFPa/Q5qzTn33HsPQtjd3d3drrn5DxNBIpIESZIEAAAAAAAAAADc4d3h3Ul5rRKLpGlRFEVRzMzM"
        "zKyqqqoqAAAATAgAAEEAANgAAAAAUkCKMcYYY4wxxhhjjDHGuKmqqqqqqqqqqqqqqqqqqqqqqv//"
        "/////2+qqqqqqqqqqqqqqqqqqqqqqur///////8AAABM";
    const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned bits = 0;
    int count = 0;
    for (const char* c = base64; *c && *c != '='; ++c) {
        bits = (bits << 6) | static_cast<unsigned>(digits.find(*c));
        if ((count += 6) >= 8) {
            count -= 8;
            bytes += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return bytes;
}

} // namespace vidlume::test
