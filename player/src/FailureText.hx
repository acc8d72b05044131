/**
 * The words for a video that cannot be shown, the same as the page's HTML5 player
 * uses: the file's name and the cause, with the server's status where it answered
 * with one. A status from 500 up is the server's own failure; below that it refused.
 */
class FailureText {
    static var MESSAGES = [
        "missing" => "The video file \u201c%s\u201d is missing.",
        "unplayable" => "The video file \u201c%s\u201d cannot be played: it is damaged or in a form this player does not play.",
        "damaged" => "The video file \u201c%s\u201d is damaged or cut short; playback stopped.",
        "network" => "The connection broke off while loading the video file \u201c%s\u201d.",
        "server" => "The web server refused the video file \u201c%s\u201d (HTTP %d).",
        "server-failed" => "The web server failed to send the video file \u201c%s\u201d (HTTP %d).",
        "unknown" => "The video file \u201c%s\u201d is missing or cannot be played.",
    ];

    /** The cause the server's status gives; none below 400. */
    public static function causeOf(status:Int):String {
        return status < 400 ? null : status == 404 || status == 410 ? "missing" : status == 416 ? "unplayable" : "server";
    }

    public static function message(cause:String, fileName:String, status:Int):String {
        if (cause == "server" && status >= 500) cause = "server-failed";
        var pattern = MESSAGES.exists(cause) ? MESSAGES[cause] : MESSAGES["unknown"];
        return StringTools.replace(StringTools.replace(pattern, "%s", fileName), "%d", Std.string(status));
    }
}
