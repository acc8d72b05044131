/**
 * The control bar's times, "m:ss" or "h:mm:ss". The elapsed time takes the form of
 * the total, so the text keeps its length as the video plays, and the space kept for
 * it is that of the longest text the video can show.
 */
class TimeText {
    /** seconds as the clock shows them, with as many places as the total needs. */
    public static function clock(seconds:Float, total:Float = 0):String {
        var s = Std.int(Math.max(0, seconds));
        var all = Std.int(Math.max(s, total));
        var secs = s % 60;
        var mins = Std.int(s / 60);
        if (all >= 3600) {
            var m = mins % 60;
            var hours = Std.string(Std.int(mins / 60));
            var hourPlaces = Std.string(Std.int(all / 3600)).length;
            while (hours.length < hourPlaces) hours = "0" + hours;
            return hours + ":" + two(m) + ":" + two(secs);
        }
        var minutes = Std.string(mins);
        if (Std.int(all / 60) >= 10 && minutes.length < 2) minutes = "0" + minutes;
        return minutes + ":" + two(secs);
    }

    /** The bar's text: elapsed and total. */
    public static function elapsedOfTotal(elapsed:Float, total:Float):String {
        return clock(elapsed, total) + " / " + clock(total);
    }

    /** The longest text elapsedOfTotal gives for total, in its widest digits. */
    public static function widest(total:Float):String {
        var text = elapsedOfTotal(total, total);
        var out = new StringBuf();
        for (i in 0...text.length) {
            var c = text.charAt(i);
            out.add(c >= "0" && c <= "9" ? "0" : c);
        }
        return out.toString();
    }

    static function two(n:Int):String {
        return (n < 10 ? "0" : "") + n;
    }
}
