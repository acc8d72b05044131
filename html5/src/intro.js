/*
 * Vidlume HTML5 player.
 *
 * A Vidlume page shows its video through a Flash element (an object element with
 * an embed element inside). In a browser without a Flash plug-in this script puts
 * an HTML5 video player in the object element's place, with the settings that the
 * embed element hands to the Flash player in its flashvars attribute. The page
 * text is never changed by publishing for this: everything below happens here, at
 * run time.
 *
 * What it plays. Publishing places a browser-ready MP4 beside the video: the
 * flashvars source with a final ".flv" (any case) replaced by ".mp4", or with
 * ".mp4" added. The player plays that MP4 in a plain <video> element, which works
 * for pages opened from a file as well as over HTTP. A source that does not end in
 * ".flv" (a video that was an MP4 already) is tried first as it is, then the MP4.
 *
 * Addresses. A reference without a scheme (a file name or a relative or absolute
 * path, as the window writes them) is a file path: each segment between "/" is
 * percent-encoded as a file name ("#" -> %23, "%" -> %25, "?" -> %3F, a space ->
 * %20, other characters as UTF-8 bytes). A reference with a scheme ("http://...",
 * "file://...", "//host/...", "data:", "blob:") is used as typed. This holds for
 * the video, the MP4, the poster and the logo; the logo link is a web address and
 * is used as typed.
 *
 * Captions. The script cannot list a folder, and a page opened from a file may not
 * read other files with fetch or a <track> address, but it may load a script. So
 * publishing writes, beside the MP4, a caption list "<MP4 stem>.captions.js"
 * ("holiday.captions.js" for "holiday.mp4"), a UTF-8 file holding one call:
 *
 *     vidlumeCaptions([
 *         {"file": "holiday.en.vtt", "lang": "en", "vtt": "WEBVTT\n\n00:00:01.000 --> ..."},
 *         {"file": "holiday.vtt", "lang": "", "vtt": "WEBVTT\n\n..."}
 *     ]);
 *
 * Its argument is JSON (with U+2028 and U+2029 escaped): one entry per WebVTT file
 * written beside the MP4 as "<stem>.vtt" or "<stem>.<lang>.vtt", in the order to
 * offer them. "vtt" holds that file's whole text; "lang" is the language tag from
 * the name or ""; an optional "label" overrides the label shown, which otherwise is
 * the language's name in the visitor's language, or "Captions". An entry without
 * "vtt" is loaded from "file" (over HTTP only). Publishing writes the list with the
 * HTML5 option even when it is empty ("vidlumeCaptions([]);"), so that the browser
 * has no missing file to report; a folder without it just offers no captions. Each
 * entry becomes a <track> of kind "captions", off until the visitor turns it on.
 *
 * Plain ES5, nothing to run or load but this file. Its source is html5/src/, one
 * part per concern (addresses, page, style, player, layout, logo, sound, controls,
 * keys, announce, captions, failure, start) inside the one function that this part
 * opens; the build joins them as they are (html5/JoinParts.cmake). Under Node.js
 * (tests) it only exports its helpers.
 */
(function () {
    'use strict';

    var LOG_PREFIX = 'Vidlume HTML5 player: ';
    // Height of the browsers' own controls at the bottom of a <video> (Chromium
    // draws its buttons and timeline in the lowest 64 px, at any player size); a
    // logo in a bottom corner sits above them so that it never covers a control.
    var CONTROLS_HEIGHT = 72;
    var SEEK_STEP = 5;
    var LONG_SEEK_STEP = 10;
    var VOLUME_STEP = 0.1;
    var SOUND_HINT_MS = 5000;
    var SPEEDS = [0.25, 0.5, 0.75, 1, 1.25, 1.5, 1.75, 2];
    // Announcements that come within this time of each other are said together,
    // the last of each kind only; none waits longer than the second time in all.
    var ANNOUNCE_MS = 250;
    var ANNOUNCE_LONGEST_MS = 1000;
    var KEYS_HELP = 'Keys: Space or K plays and pauses; J, L and the arrows left and right seek; ' +
                    'Home, End and 0 to 9 jump; the arrows up and down set the volume; M mutes; ' +
                    'C turns captions on and off; < and > set the speed; P picture in picture; F full screen.';

