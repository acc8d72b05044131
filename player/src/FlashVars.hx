/**
 * The page's flashvars, read once into typed settings. The runtime hands the values
 * over decoded; a missing or unreadable value takes the default noted beside it.
 */
class FlashVars {
    public var source:String;
    public var autostart:Bool; // false
    public var poster:String; // none
    public var logo:String; // none
    public var logoBottom:Bool; // top left
    public var logoRight:Bool;
    public var logoAlpha:Float; // 1
    public var logoWidth:Int; // 0: the image's own width, never wider than the picture
    public var logoLink:String; // none: the logo is not a link
    public var darkColor:Int;
    public var brightColor:Int;
    public var controlColor:Int;
    public var hoverColor:Int;
    // Read but without effect: the page always sends type=video, streamtype=file and
    // hardwarescaling=false, which is what this player does anyway.
    public var type:String;
    public var streamType:String;
    public var hardwareScaling:String;

    public function new(parameters:Dynamic) {
        inline function text(key:String):String {
            var value:Dynamic = Reflect.field(parameters, key);
            return value == null ? "" : Std.string(value);
        }
        source = text("source");
        type = text("type");
        streamType = text("streamtype");
        autostart = text("autostart").toLowerCase() == "true";
        poster = text("poster");
        logo = text("logo");
        var corner = text("logoposition").toLowerCase().split(" ");
        logoBottom = corner[0] == "bottom";
        logoRight = corner.length > 1 && corner[1] == "right";
        var alpha = Std.parseInt(text("logoalpha"));
        logoAlpha = alpha == null ? 1 : Math.max(0, Math.min(100, alpha)) / 100;
        // The object element's list is the one that holds the typed width (or none);
        // the element the runtime was started from is asked only where the page does
        // not let the player read the object element.
        var objectList = objectFlashvars();
        logoWidth = positive(objectList != null ? valueIn(objectList, "logowidth") : text("logowidth"));
        logoLink = text("logolink");
        hardwareScaling = text("hardwarescaling");
        darkColor = color(text("darkcolor"), 0x000000);
        brightColor = color(text("brightcolor"), 0x4C4C4C);
        controlColor = color(text("controlcolor"), 0xFFFFFF);
        hoverColor = color(text("hovercolor"), 0x67A8C1);
    }

    static function positive(value:String):Int {
        var n = Std.parseInt(value);
        return n == null || n < 0 ? 0 : n;
    }

    /**
     * The flashvars list of the page's object element, or null where the page does not
     * let the player run script (allowScriptAccess) or has no object element. The embed
     * element says logowidth=100 whatever width was typed; the typed width reaches only
     * the object element, which a plug-in browser or Ruffle does not hand to the player.
     */
    static function objectFlashvars():Null<String> {
        try {
            if (flash.external.ExternalInterface.available) {
                var value:Dynamic = flash.external.ExternalInterface.call(
                    "function(){var p=document.querySelector('object>param[name=flashvars]');"
                    + "return p?p.getAttribute('value'):null;}");
                return value == null ? null : Std.string(value);
            }
        } catch (e:Dynamic) {
            // the page does not let the player run script
        }
        return null;
    }

    static function valueIn(list:String, key:String):String {
        for (pair in list.split("&")) {
            var equals = pair.indexOf("=");
            if (equals > 0 && pair.substr(0, equals) == key) {
                var raw = pair.substr(equals + 1);
                try {
                    var decoded = StringTools.urlDecode(raw);
                    return decoded == null ? raw : decoded;
                } catch (e:Dynamic) {
                    return raw; // a stray "%" that was never an escape
                }
            }
        }
        return "";
    }

    /** Six hex digits, with or without a leading "#" or "0x". */
    static function color(value:String, fallback:Int):Int {
        var digits = ~/^(#|0x)?([0-9A-Fa-f]{6})$/;
        return digits.match(value) ? Std.parseInt("0x" + digits.matched(2)) : fallback;
    }
}
