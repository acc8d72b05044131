#!/usr/bin/env node
/*
 * How the HTML5 player script turns the page's references into addresses, and
 * which files it looks for beside the video. Runs the script's own helpers.
 */
'use strict';

const assert = require('node:assert/strict');
const path = require('node:path');
const {test} = require('node:test');

const player = require(path.join(__dirname, '..', '..', 'html5', 'vidlume-html5.js'));
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
