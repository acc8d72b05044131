import flash.display.Sprite;
import flash.text.TextField;
import flash.text.TextFieldAutoSize;
import flash.text.TextFormat;
import flash.text.TextFormatAlign;

/**
 * The message that takes the video's place when it cannot be shown: a dark rounded
 * panel across the middle of the picture, over the poster, naming the file and the
 * cause in the same words as the page's HTML5 player.
 */
class FailurePanel extends Sprite {
    static var MESSAGES = [
        "missing" => "The video file \u201c%s\u201d is missing.",
        "unplayable" => "The video file \u201c%s\u201d cannot be played: it is damaged or in a form this player does not play.",
        "damaged" => "The video file \u201c%s\u201d is damaged or cut short; playback stopped.",
        "network" => "The connection broke off while loading the video file \u201c%s\u201d.",
        "server" => "The web server refused the video file \u201c%s\u201d (HTTP %d).",
        "unknown" => "The video file \u201c%s\u201d is missing or cannot be played.",
    ];

    public var text(default, null):String;
    var field = new TextField();

    public static function message(cause:String, fileName:String, status:Int):String {
        var pattern = MESSAGES.exists(cause) ? MESSAGES[cause] : MESSAGES["unknown"];
        return StringTools.replace(StringTools.replace(pattern, "%s", fileName), "%d", Std.string(status));
    }

    public function new(cause:String, fileName:String, status:Int) {
        super();
        mouseEnabled = mouseChildren = false;
        text = message(cause, fileName, status);
        field.selectable = false;
        field.multiline = true;
        field.wordWrap = true;
        field.autoSize = TextFieldAutoSize.CENTER;
        var format = new TextFormat("_sans", 14, 0xFFFFFF);
        format.align = TextFormatAlign.CENTER;
        field.defaultTextFormat = format;
        field.text = text;
        addChild(field);
    }

    /** Lays the panel across the middle of an area of width x height. */
    public function layout(width:Float, height:Float) {
        var side = Math.round(width * 0.08);
        var panelWidth = width - 2 * side;
        field.width = Math.max(10, panelWidth - 28);
        field.x = side + 14;
        var panelHeight = Math.min(height, field.height + 18);
        var top = (height - panelHeight) / 2;
        field.y = top + 9;
        graphics.clear();
        graphics.beginFill(0x111111, 0.92);
        graphics.drawRoundRect(side, top, panelWidth, panelHeight, 12, 12);
        graphics.endFill();
    }
}
