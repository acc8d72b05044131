#!/usr/bin/env node
/*
 * How the HTML5 player script turns the page's references into addresses, and
 * which files it looks for beside the video. Runs the script's own helpers.
 *
 * Usage: node address-rule.test.js [BUILT_VIDLUME_HTML5_JS]
 */
'use strict';

const assert = require('node:assert/strict');
const path = require('node:path');
const {test} = require('node:test');

// The script as the build joins it (build/bin/vidlume-html5.js unless named).
const script = process.argv[2] || path.join(__dirname, '..', '..', 'build', 'bin', 'vidlume-html5.js');
const player = require(path.resolve(script));
const {referenceToAddress, mp4Reference, captionsReference, playbackReferences, parseFlashvars} = player;

test('a file name becomes an address that names exactly that file', () => {
    const name = 'a#b%c?d e&f+g;h=i@j:k\'l(m)n!o~p*q,r$s[t]u{v}w^x`y|z"<>\\.flv';
    const address = referenceToAddress(name);
    assert.match(address, /^[A-Za-z0-9\-_.!~*'()%]+$/, 'a character that means something in an address is left');
    assert.equal(decodeURIComponent(address), name);
    const url = new URL(address, 'http://host/folder/');
    assert.equal(url.search + url.hash, '');
    assert.equal(decodeURIComponent(url.pathname), `/folder/${name}`);

    assert.equal(referenceToAddress('Episode #3 50% off?.flv'), 'Episode%20%233%2050%25%20off%3F.flv');
    assert.equal(referenceToAddress('Café 東京.flv'), 'Caf%C3%A9%20%E6%9D%B1%E4%BA%AC.flv');
    // A colon in a name is no scheme.
    assert.equal(referenceToAddress('Talk: 1.flv'), 'Talk%3A%201.flv');
});

test('a path keeps its slashes and dot segments; each segment is encoded', () => {
    assert.equal(referenceToAddress('videos/a #1.flv'), 'videos/a%20%231.flv');
    assert.equal(referenceToAddress('/media/50% off/x?.png'), '/media/50%25%20off/x%3F.png');
    assert.equal(referenceToAddress('../up/x.flv'), '../up/x.flv');
});

test('a reference with a scheme is used as typed', () => {
    for (const reference of ['http://host/v.flv?x=1', 'https://host/a b.mp4#t=3', 'file:///tmp/x%20y.mp4',
                             '//cdn.example/v.mp4', 'data:image/png;base64,AAAA', 'blob:null/1234']) {
        assert.equal(referenceToAddress(reference), reference);
    }
});

test('the MP4 and the caption list are named after the video', () => {
    assert.equal(mp4Reference('holiday.flv'), 'holiday.mp4');
    assert.equal(mp4Reference('videos/HOLIDAY.FLV'), 'videos/HOLIDAY.mp4');
    assert.equal(mp4Reference('What?.flv'), 'What?.mp4');
    assert.equal(mp4Reference('clip'), 'clip.mp4');
    assert.equal(mp4Reference('my.flv.avi'), 'my.flv.avi.mp4');
    // With a scheme, the query and fragment stay behind the renamed path.
    assert.equal(mp4Reference('http://host/v.flv?x=1'), 'http://host/v.mp4?x=1');
    assert.equal(mp4Reference('http://host/v.flv#a.flv'), 'http://host/v.mp4#a.flv');
    // Without one, "?" and "#" belong to the name.
    assert.equal(mp4Reference('a#b.flv'), 'a#b.mp4');

    assert.equal(captionsReference('videos/holiday.Flv'), 'videos/holiday.captions.js');
    assert.equal(captionsReference('clip.mp4'), 'clip.mp4.captions.js');
});

test('an FLV is played only through its MP4; another video is tried as it is first', () => {
    assert.deepEqual(playbackReferences('videos/a.FLV'), ['videos/a.mp4']);
    assert.deepEqual(playbackReferences('a.mp4'), ['a.mp4', 'a.mp4.mp4']);
    assert.deepEqual(playbackReferences('http://h/a.flv?x=1'), ['http://h/a.mp4?x=1']);
});

test('flashvars values are decoded once: an escaped "%" stays a "%"', () => {
    const vars = parseFlashvars('source=Episode #3 50%25 off?.flv&poster=a%2Bb.png&logo=100%&x&=y&logolink=a=b');
    assert.equal(vars.source, 'Episode #3 50% off?.flv');
    assert.equal(vars.poster, 'a+b.png');
    assert.equal(vars.logo, '100%'); // a stray "%" that was never an escape
    assert.equal(vars.x, '');
    assert.equal(vars.logolink, 'a=b');
});

test('page text that a browser read as windows-1252 is read as the UTF-8 it was written in', () => {
    const {repairEncoding} = player;
    // What windows-1252 makes of the bytes 0x80 to 0x9F (the WHATWG Encoding table).
    const high = '\u20ac\u0081\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039\u0152\u008d' +
                 '\u017d\u008f\u0090\u2018\u2019\u201c\u201d\u2022\u2013\u2014\u02dc\u2122\u0161\u203a' +
                 '\u0153\u009d\u017e\u0178';
    const utf8AsLatin = (text) => Buffer.from(text, 'utf8').toString('latin1')
        .replace(/[\x80-\x9f]/g, (c) => high[c.charCodeAt(0) - 0x80]);
    for (const text of ['\u00c9pisode #3 50% off?.flv', 'source=Caf\u00e9 \u6771\u4eac \u2713.flv&type=video',
                        '\ud83c\udfac \u0160\u0152\u2122.flv']) {
        assert.equal(repairEncoding(utf8AsLatin(text), 'windows-1252'), text);
        assert.equal(repairEncoding(text, 'UTF-8'), text, 'a page read as UTF-8 is left alone');
    }
    // A page written in a single-byte code page is no UTF-8: kept as read.
    assert.equal(repairEncoding('Caf\u00e9 na\u00efve.flv', 'windows-1252'), 'Caf\u00e9 na\u00efve.flv');
    assert.equal(repairEncoding('plain.flv', 'windows-1252'), 'plain.flv');
});
