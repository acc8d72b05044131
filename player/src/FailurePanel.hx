import flash.display.Sprite;
import flash.text.TextField;
import flash.text.TextFieldAutoSize;
import flash.text.TextFormat;
import flash.text.TextFormatAlign;

/**
 * The message that takes the video's place when it cannot be shown: a dark rounded
 * panel across the middle of the picture, over the poster, naming the file and the
 * cause in the same words as the page's HTML5 player (FailureText). It covers the
 * whole player area, and a click on it tries the video again.
 */
class FailurePanel extends Sprite {
    public var text(default, null):String;
    var field = new TextField();

    public function new(cause:String, fileName:String, status:Int) {
        super();
        // A click anywhere on it asks for the video again.
        buttonMode = true;
        mouseChildren = false;
        text = FailureText.message(cause, fileName, status);
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
        graphics.beginFill(0, 0); // the whole area takes the click
        graphics.drawRect(0, 0, width, height);
        graphics.endFill();
        graphics.beginFill(0x111111, 0.92);
        graphics.drawRoundRect(side, top, panelWidth, panelHeight, 12, 12);
        graphics.endFill();
    }
}
