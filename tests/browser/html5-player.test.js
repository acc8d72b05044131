#!/usr/bin/env node
/*
 * Publishes FLV videos (the HTML5 player is on by default) and plays the pages in
 * headless Chromium, from file:// and over 127.0.0.1, on a desktop and a phone
 * viewport: what a visitor sees and does, and what a screen reader is told.
 *
 * Usage: node html5-player.test.js VIDLUME_CLI WORK_DIR [--screenshots DIR]
 * Exit codes: 0 passed, 1 failed, 77 skipped (Chromium or ffmpeg not installed).
 * With --screenshots, the README's pictures are written into DIR.
 */
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const {pathToFileURL} = require('node:url');
const {after, before, describe, test} = require('node:test');

const LOGO_WIDTH = 80;
// The lowest band of a <video> where Chromium draws its controls.
const CONTROLS_BAND = 64;

const [cli, workRoot] = process.argv.slice(2);
const shotIndex = process.argv.indexOf('--screenshots');
const shots = shotIndex > 0 ? path.resolve(process.argv[shotIndex + 1]) : null;
if (!cli || !workRoot) {
    console.error('usage: html5-player.test.js VIDLUME_CLI WORK_DIR [--screenshots DIR]');
    process.exit(2);
}
const {CHROMIUM, SKIP, which, run, ffmpeg, startServer, launchChromium, closeChromium} = require('./browser-kit');
if (!fs.existsSync(CHROMIUM) || !which('ffmpeg')) {
    console.log(`skipped: needs ${CHROMIUM} and ffmpeg (scripts/install-deps.sh test installs them)`);
    process.exit(SKIP);
}

/* A Sorenson Spark + MP3 FLV, the kind most archives hold; small, for speed. */
function makeSorensonFlv(file, seconds, {size = '160x120', sound = true} = {}) {
    const audio = sound ? ['-f', 'lavfi', '-i', `sine=frequency=440:duration=${seconds}`,
                           '-c:a', 'libmp3lame', '-ar', '22050', '-b:a', '32k'] : [];
    ffmpeg(['-f', 'lavfi', '-i', `testsrc=size=${size}:rate=10:duration=${seconds}`, ...audio,
            '-c:v', 'flv1', '-q:v', '8', '-f', 'flv', file]);
}

function makeImage(file, colour, size, word) {
    // The word shows when the font that the build installs is there.
    const font = '/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf';
    const text = word && fs.existsSync(font)
        ? `,drawtext=fontfile=${font}:text=${word}:fontsize=34:fontcolor=white:x=(w-tw)/2:y=(h-th)/2`
        : '';
    ffmpeg(['-f', 'lavfi', '-i', `color=c=${colour}:s=${size}${text}`, '-frames:v', '1', file]);
}

// What publishing said on standard error, by new folder.
const publishedWith = {};

/* Publishes a video, with the HTML5 player as by default, and returns the new folder. */
function publish(video, options, outDir) {
    // 3: files left out; only the Flash player file may be, where the build
    // has none beside the program.
    const result = run(cli, [...options, '--out', outDir, video], [0, 3]);
    if (result.status === 3) {
        assert.doesNotMatch(result.stderr.replace(/^"flvplayer1\.swf" was not copied: .*$/m, ''),
                            /was not copied/, result.stderr);
    }
    const folder = result.stdout.trim();
    publishedWith[folder] = result.stderr;
    assert.ok(fs.existsSync(path.join(folder, 'index.htm')), `no index.htm in "${folder}"`);
    assert.ok(fs.existsSync(path.join(folder, 'vidlume-html5.js')), 'the player script was not published');
    return folder;
}

/* The browser-ready MP4 that publishing places beside the video. */
function ensureMp4(folder, videoName) {
    const mp4 = path.join(folder, videoName.replace(/\.flv$/i, '') + '.mp4');
    assert.ok(fs.existsSync(mp4), `publishing made no "${path.basename(mp4)}": ${publishedWith[folder]}`);
    return mp4;
}

/* Problems a page reports: script errors and error lines other than the
   browser's own notes on a missing file. */
function watchPage(page) {
    const problems = [];
    page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
    page.on('console', (m) => {
        if (m.type() === 'error' && !m.text().startsWith('Failed to load resource')) {
            problems.push(`console: ${m.text()}`);
        }
    });
    return problems;
}

async function waitForPlayback(page, seconds) {
    await page.waitForFunction((s) => {
        const v = document.querySelector('video');
        return !v || v.error || v.currentTime > s;
    }, seconds, {timeout: 20000});
    const state = await page.evaluate(() => {
        const v = document.querySelector('video');
        return v ? {time: v.currentTime, error: v.error && v.error.message} : {error: 'no video element'};
    });
    assert.equal(state.error, null, `the video failed: ${state.error}`);
    return state.time;
}

const near = (a, b, tolerance = 1) => Math.abs(a - b) <= tolerance;

/* WCAG contrast of two sRGB colours given as [r, g, b] in 0..255. */
function contrast(a, b) {
    const luminance = (c) => {
        const [r, g, bl] = c.map((v) => {
            v /= 255;
            return v <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4;
        });
        return 0.2126 * r + 0.7152 * g + 0.0722 * bl;
    };
    const [hi, lo] = [luminance(a), luminance(b)].sort((x, y) => y - x);
    return (hi + 0.05) / (lo + 0.05);
}

const POSTER_COLOUR = [0xe8, 0xe8, 0xf0]; // light, where white text cannot be read
const UNICODE_CUE = '\u00dcn\u00efc\u00f6d\u00e9 \u2713';

const fixture = {};
let browserServer = null;
let browser = null;
let server = null;
let work = null;

before(async () => {
    fs.mkdirSync(workRoot, {recursive: true});
    work = fs.mkdtempSync(path.join(path.resolve(workRoot), 'run-'));
    const outDir = path.join(work, 'out');
    // Byte ranges, as web servers give; under /half/ every video is served cut to
    // half its size, under /latin/ every file is said to be windows-1252 text,
    // /whole/ ignores byte ranges.
    // Under /forbidden/ and /failing/ the videos are answered with 403 and 500.
    server = await startServer({'/': outDir, '/half/': outDir, '/latin/': outDir, '/whole/': outDir,
                                '/forbidden/': outDir, '/failing/': outDir},
                               {ranges: true, wholeOnly: ['/whole/'], cut: {'/half/': 0.5},
                                charset: {'/latin/': 'windows-1252'}, status: {'/forbidden/': 403, '/failing/': 500}});
    fixture.base = `http://127.0.0.1:${server.address().port}`;
    fixture.logoLink = `${fixture.base}/landing?a=1&b=2+3`; // "&" and "+" must arrive as typed

    const poster = path.join(work, 'poster.png');
    const logo = path.join(work, 'logo.png');
    makeImage(poster, '0xE8E8F0', '640x480');
    makeImage(logo, '0xE08020', '160x60', 'LOGO');

    // A minute of Sorenson video, played by a muted autoplay.
    const clip = path.join(work, 'my clip.flv');
    makeSorensonFlv(clip, 60);
    // A SubRip file of the video's name, as an editor on Windows saves it.
    fs.writeFileSync(path.join(work, 'my clip.en.srt'),
                     '1\r\n00:00:02,000 --> 00:00:04,000\r\nHello from the captions\r\n');
    fixture.clip = publish(clip, ['--size', '640x480', '--autoplay', '--thumbnail', '--thumbnail-image', poster,
                                  '--logo', '--logo-image', logo, '--logo-alpha', '50',
                                  '--logo-position', 'bottom-right', '--logo-width', String(LOGO_WIDTH),
                                  '--logo-link', fixture.logoLink], outDir);
    ensureMp4(fixture.clip, 'my clip.flv');

    // Names holding "#", "%", "?", blanks and letters beyond ASCII, on a small
    // player that starts by itself, a wide logo in its top-right corner, and
    // captions beyond ASCII.
    const named = path.join(work, '\u00c9pisode #3 50% off?.flv');
    const cover = path.join(work, 'cover #1.png');
    const logoPercent = path.join(work, 'logo%.png');
    makeSorensonFlv(named, 3);
    makeImage(cover, '0x2060A0', '640x480');
    makeImage(logoPercent, '0x20A060', '160x60');
    fixture.named = publish(named, ['--size', '320x240', '--autoplay', '--thumbnail', '--thumbnail-image', cover,
                                    '--logo', '--logo-image', logoPercent, '--logo-alpha', '100',
                                    '--logo-position', 'top-right', '--logo-width', '100'], outDir);
    ensureMp4(fixture.named, path.basename(named));

    // What a fresh install makes with no option at all: Sorenson and MP3, and
    // captions beyond ASCII on a page whose own text is plain ASCII.
    const plain = path.join(work, 'plain.flv');
    makeSorensonFlv(plain, 4);
    fs.writeFileSync(path.join(work, 'plain.srt'), `1\n00:00:00,000 --> 00:00:03,000\n${UNICODE_CUE}\n`);
    fixture.plain = publish(plain, [], outDir);
    ensureMp4(fixture.plain, 'plain.flv');

    // A portrait video without sound, started by itself, with a logo and link at
    // the window's start opacity, 0.
    const portrait = path.join(work, 'portrait.flv');
    makeSorensonFlv(portrait, 4, {size: '240x428', sound: false});
    fixture.portrait = publish(portrait, ['--size', '480x854', '--autoplay', '--logo-image', logo,
                                          '--logo-position', 'top-left', '--logo-link', fixture.logoLink],
                               outDir);

    // A page whose video is gone.
    const gone = path.join(work, 'gone.flv');
    makeSorensonFlv(gone, 1);
    fixture.gone = publish(gone, ['--size', '640x480', '--thumbnail', '--thumbnail-image', poster], outDir);
    // And one whose MP4 holds no video.
    fixture.notVideo = path.join(outDir, 'not-video');
    fs.cpSync(fixture.gone, fixture.notVideo, {recursive: true});
    fs.writeFileSync(path.join(fixture.notVideo, 'gone.mp4'), 'a text, not a video\n');
    for (const name of fs.readdirSync(fixture.gone)) {
        if (/\.(flv|mp4)$/.test(name)) {
            fs.rmSync(path.join(fixture.gone, name));
        }
    }

    ({browserServer, browser} = await launchChromium());
});

after(async () => {
    await closeChromium({browserServer, browser});
    if (server) {
        server.closeAllConnections();
        server.close();
    }
    if (work) {
        fs.rmSync(work, {recursive: true, force: true});
    }
});

function httpUrl(folder, file = 'index.htm', prefix = '') {
    return `${fixture.base}${prefix}/${encodeURIComponent(path.basename(folder))}/${file}`;
}

function fileUrl(folder) {
    return pathToFileURL(path.join(folder, 'index.htm')).href;
}

async function withPage(options, body) {
    const context = await browser.newContext(options || {viewport: {width: 720, height: 560}});
    try {
        const page = await context.newPage();
        const problems = watchPage(page);
        await body(page);
        assert.deepEqual(problems, []);
    } finally {
        await context.close();
    }
}

const PHONE = {viewport: {width: 390, height: 844}, isMobile: true, hasTouch: true, deviceScaleFactor: 1};

describe('a Sorenson FLV published with the HTML5 option', () => {
    test('plays its MP4 over HTTP at the chosen size, seeks to the middle, logo above the controls', async () => {
        await withPage(null, async (page) => {
            await page.goto(httpUrl(fixture.clip));
            assert.equal(await page.locator('object').count(), 0, 'the Flash element is still there');
            await waitForPlayback(page, 1);
            const video = page.locator('video');
            const state = await video.evaluate((v) => ({muted: v.muted, src: v.currentSrc, poster: v.poster}));
            assert.ok(state.muted, 'an autoplaying video must be muted');
            assert.ok(state.src.endsWith('/my%20clip.mp4'), state.src);
            assert.ok(state.poster.endsWith('/poster.png'), state.poster);

            const videoBox = await video.boundingBox();
            assert.deepEqual([videoBox.width, videoBox.height], [640, 480]);
            const logo = page.locator('a.vidlume-logo img');
            const logoBox = await logo.boundingBox();
            assert.equal(logoBox.width, LOGO_WIDTH);
            assert.ok(near(logoBox.x + logoBox.width, videoBox.x + videoBox.width), 'logo not at the right edge');
            assert.ok(logoBox.y + logoBox.height <= videoBox.y + videoBox.height - CONTROLS_BAND,
                      `logo ${JSON.stringify(logoBox)} covers the controls of ${JSON.stringify(videoBox)}`);
            assert.ok(logoBox.y + logoBox.height >= videoBox.y + videoBox.height - CONTROLS_BAND - 16,
                      'logo left its corner');
            assert.equal(await logo.evaluate((img) => getComputedStyle(img).opacity), '0.5');

            await video.evaluate((v) => {
                v.currentTime = 30;
            });
            await page.waitForFunction(() => document.querySelector('video').currentTime > 30.5, null,
                                       {timeout: 15000});
            if (shots) {
                await video.evaluate((v) => v.pause());
                await page.mouse.move(videoBox.x + videoBox.width / 2, videoBox.y + videoBox.height / 2);
                await page.waitForTimeout(300);
                await page.screenshot({path: path.join(shots, 'html5-player.png')});
            }

            const [popup] = await Promise.all([page.context().waitForEvent('page', {timeout: 10000}),
                                               logo.click()]);
            await popup.waitForLoadState();
            assert.equal(popup.url(), fixture.logoLink, 'the logo opened another address');
            assert.equal(await popup.evaluate(() => window.opener), null, 'the link page can reach its opener');
        });
    });

    test('plays from file://', async () => {
        await withPage(null, async (page) => {
            await page.goto(fileUrl(fixture.clip));
            await waitForPlayback(page, 1);
        });
    });

    test('fits a 390 px phone at full scale, logo scaled in its corner and clear of the controls', async () => {
        await withPage(PHONE, async (page) => {
            await page.goto(fileUrl(fixture.clip));
            await waitForPlayback(page, 0.5);
            const layout = await page.evaluate(() => ({
                width: document.documentElement.clientWidth,
                scrollWidth: document.documentElement.scrollWidth,
                scale: window.visualViewport.scale,
                title: document.title,
            }));
            assert.deepEqual(layout, {width: 390, scrollWidth: 390, scale: 1, title: 'my clip'});
            const videoBox = await page.locator('video').boundingBox();
            assert.ok(videoBox.x >= 0 && videoBox.x + videoBox.width <= 390, JSON.stringify(videoBox));
            assert.ok(near(videoBox.height, videoBox.width * 3 / 4), 'aspect ratio lost');
            const logoBox = await page.locator('.vidlume-logo img').boundingBox();
            assert.ok(near(logoBox.width, LOGO_WIDTH * videoBox.width / 640), `logo ${logoBox.width} wide`);
            assert.ok(near(logoBox.x + logoBox.width, videoBox.x + videoBox.width));
            assert.ok(logoBox.y + logoBox.height <= videoBox.y + videoBox.height - CONTROLS_BAND);
            if (shots) {
                await page.locator('video').evaluate((v) => v.pause());
                // A tap on the controls' band shows them; one on the picture would play.
                await page.touchscreen.tap(videoBox.x + videoBox.width / 2, videoBox.y + videoBox.height - 48);
                await page.waitForTimeout(300);
                await page.screenshot({path: path.join(shots, 'html5-phone.png'),
                                       clip: {x: 0, y: 0, width: 390, height: 420}});
            }
        });
    });

    test('a 320 px player fills a 390 px phone\'s width, its aspect kept', async () => {
        await withPage(PHONE, async (page) => {
            await page.goto(fileUrl(fixture.named));
            const box = await page.locator('.vidlume-html5').boundingBox();
            const room = await page.locator('.vidlume-html5').evaluate((p) => {
                const s = getComputedStyle(p.parentElement);
                return p.parentElement.clientWidth - parseFloat(s.paddingLeft) - parseFloat(s.paddingRight);
            });
            assert.ok(near(box.width, room) && room > 320, `${box.width} of ${room}`);
            assert.ok(near(box.height, box.width * 3 / 4), JSON.stringify(box));
        });
    });
});

describe('a video that cannot be played', () => {
    /* After the failure nothing may bring the tab down: a click where the
       controls were and play() on any video left, then the page must answer. */
    async function pokeAfterFailure(page) {
        const box = await page.locator('.vidlume-html5').boundingBox();
        await page.mouse.click(box.x + 20, box.y + box.height - 20);
        await page.evaluate(() => Promise.all(Array.from(document.querySelectorAll('video'),
                                                         (v) => v.play().catch(() => {}))));
        await page.waitForTimeout(500);
        assert.equal(await page.evaluate(() => 6 * 7), 42);
        assert.equal(await page.locator('video').count(), 0, 'a video element is left after the failure');
        return page.locator('.vidlume-failure').textContent();
    }

    for (const [where, url] of [['127.0.0.1', () => httpUrl(fixture.gone)], ['file://', () => fileUrl(fixture.gone)]]) {
        test(`missing over ${where}: names the cause on a readable panel, and the tab survives`, async () => {
            await withPage(null, async (page) => {
                const warnings = [];
                page.on('console', (m) => m.type() === 'warning' && warnings.push(m.text()));
                await page.goto(url());
                const note = page.locator('.vidlume-failure');
                await note.waitFor({timeout: 10000});
                assert.match(await note.textContent(), /“gone\.mp4” is missing/);
                assert.equal(warnings.length, 1, JSON.stringify(warnings));

                // White text on the panel, the panel composed over the light poster.
                const colours = await note.evaluate((n) => {
                    const s = getComputedStyle(n);
                    const rgba = (t) => t.match(/[\d.]+/g).map(Number);
                    return {text: rgba(s.color), panel: rgba(s.backgroundColor)};
                });
                const [r, g, b, a = 1] = colours.panel;
                const seen = [r, g, b].map((c, i) => c * a + POSTER_COLOUR[i] * (1 - a));
                const ratio = contrast(colours.text.slice(0, 3), seen);
                assert.ok(ratio >= 4.5, `contrast ${ratio.toFixed(2)}:1`);

                assert.match(await pokeAfterFailure(page), /missing/);
            });
        });
    }

    test('a file that holds no video, from file://, is said to be one the browser cannot play', async () => {
        await withPage(null, async (page) => {
            await page.goto(fileUrl(fixture.notVideo));
            const note = page.locator('.vidlume-failure');
            await note.waitFor({timeout: 10000});
            assert.match(await note.textContent(), /“gone\.mp4” cannot be played: it is damaged or in a form/);
        });
    });

    test('a server that refuses the video (403) or fails to send it (500) is named so', async () => {
        for (const [prefix, words] of [['/forbidden', /web server refused the video file “my clip\.mp4” \(HTTP 403\)/],
                                       ['/failing', /web server failed to send the video file “my clip\.mp4” \(HTTP 500\)/]]) {
            await withPage(null, async (page) => {
                await page.goto(httpUrl(fixture.clip, 'index.htm', prefix));
                const note = page.locator('.vidlume-failure');
                await note.waitFor({timeout: 10000});
                assert.match(await note.textContent(), words);
            });
        }
    });

    test('cut to half on the server: playback stops with a message, and the tab survives', async () => {
        await withPage(null, async (page) => {
            await page.goto(httpUrl(fixture.clip, 'index.htm', '/half'));
            await waitForPlayback(page, 0.5);
            await page.locator('video').evaluate((v) => {
                v.currentTime = 45;
            });
            const note = page.locator('.vidlume-failure');
            await note.waitFor({timeout: 30000});
            assert.match(await pokeAfterFailure(page), /“my clip\.mp4” is damaged or cut short/);
        });
    });
});

describe('names holding "#", "%", "?" and blanks', () => {
    for (const [where, url] of [['127.0.0.1', () => httpUrl(fixture.named)], ['file://', () => fileUrl(fixture.named)],
                                ['a server that says windows-1252', () => httpUrl(fixture.named, 'index.htm', '/latin')]]) {
        test(`poster, logo and video load from ${where}`, async () => {
            await withPage(null, async (page) => {
                await page.goto(url());
                const video = page.locator('video');
                await video.waitFor();
                const images = await page.evaluate(async () => {
                    const load = (src) => new Promise((resolve) => {
                        const img = new Image();
                        img.onload = () => resolve(img.naturalWidth);
                        img.onerror = () => resolve(0);
                        img.src = src;
                    });
                    const logo = document.querySelector('.vidlume-logo img');
                    await new Promise((r) => (logo.complete ? r() : logo.addEventListener('load', r)));
                    return {poster: await load(document.querySelector('video').poster), logo: logo.naturalWidth,
                            src: document.querySelector('video').src};
                });
                assert.ok(images.src.endsWith('/%C3%89pisode%20%233%2050%25%20off%3F.mp4'), images.src);
                assert.equal(images.poster, 640, 'the poster does not load');
                assert.equal(images.logo, 160, 'the logo does not load');
                await waitForPlayback(page, 0.5);

                // The page names no character set: the tab shows the name as written.
                assert.equal(await page.title(), '\u00c9pisode #3 50% off?');
            });
        });
    }
});

describe('the visitor\'s controls', () => {
    const activeClass = (page) => page.evaluate(() => document.activeElement.className || document.activeElement.tagName);
    const video = (page, expression) => page.locator('video').evaluate(expression);

    test('a muted autoplay offers sound, first in tab order after the player, until the visitor takes it', async () => {
        await withPage(null, async (page) => {
            await page.goto(httpUrl(fixture.clip));
            await waitForPlayback(page, 0.2);
            const button = page.locator('.vidlume-sound');
            assert.ok(await button.isVisible(), 'no sound button');
            const order = [];
            for (let i = 0; i < 3; i++) {
                await page.keyboard.press('Tab');
                order.push(await activeClass(page));
            }
            // The video is the way into the browser's own controls, each a tab stop.
            assert.deepEqual(order, ['vidlume-html5', 'vidlume-sound', 'VIDEO']);
            let controls = 1;
            for (; controls < 20 && await activeClass(page) === 'VIDEO'; controls++) {
                await page.keyboard.press('Tab');
            }
            assert.equal(await activeClass(page), 'vidlume-logo');
            assert.ok(controls > 3, `only ${controls} tab stops in the browser's controls`);
            await page.locator('.vidlume-sound').focus();
            await page.keyboard.press('Enter');
            await button.waitFor({state: 'detached', timeout: 5000});
            assert.deepEqual(await video(page, (v) => [v.muted, v.paused]), [false, false]);
        });
    });

    test('a click on the sound hint turns the sound on and plays on; the hint goes at the end', async () => {
        await withPage(null, async (page) => {
            await page.goto(httpUrl(fixture.clip));
            await waitForPlayback(page, 0.2);
            await page.locator('.vidlume-sound').click();
            await page.waitForTimeout(300);
            assert.deepEqual(await video(page, (v) => [v.muted, v.paused]), [false, false]);

            await page.reload();
            await waitForPlayback(page, 0.2);
            await video(page, (v) => new Promise((resolve) => {
                v.addEventListener('ended', resolve, {once: true});
                v.currentTime = v.duration - 0.3;
            }));
            await page.locator('.vidlume-sound').waitFor({state: 'detached', timeout: 2000});
        });
    });

    test('a tap on the sound hint on a phone turns the sound on and never pauses', async () => {
        await withPage(PHONE, async (page) => {
            await page.goto(fileUrl(fixture.clip));
            await waitForPlayback(page, 0.2);
            await video(page, (v) => {
                window.pauses = 0;
                v.addEventListener('pause', () => window.pauses++);
            });
            const box = await page.locator('.vidlume-sound').boundingBox();
            await page.touchscreen.tap(box.x + box.width / 2, box.y + box.height / 2);
            const at = await video(page, (v) => v.currentTime);
            await page.waitForFunction((t) => document.querySelector('video').currentTime > t + 0.5, at);
            assert.deepEqual(await video(page, (v) => [v.muted, v.paused, window.pauses]), [false, false, 0]);
            assert.equal(await page.locator('.vidlume-sound').count(), 0);
        });
    });

    test('what the mouse reaches has a key: the browser\'s own controls by Tab, speed, picture in picture', async () => {
        await withPage(null, async (page) => {
            await page.goto(fileUrl(fixture.plain));
            await page.waitForFunction(() => document.querySelector('video').readyState >= 1);
            await page.keyboard.press('Tab');
            await page.keyboard.press('Tab');
            assert.equal(await activeClass(page), 'VIDEO', 'Tab does not reach the browser\'s controls');
            // There the keys that move and press are the controls' own; letters act.
            await page.keyboard.press('>');
            await page.keyboard.press('>');
            assert.equal(await video(page, (v) => v.playbackRate), 1.5);
            await page.keyboard.press('<');
            assert.equal(await video(page, (v) => v.playbackRate), 1.25);
            await page.waitForFunction(() => document.querySelector('[role=status]').textContent === 'Speed 1.25\u00d7');
            await page.keyboard.press('p');
            await page.waitForFunction(() => document.pictureInPictureElement === document.querySelector('video'));
            await page.waitForFunction(() => document.querySelector('[role=status]').textContent === 'Picture in picture');
            await page.keyboard.press('p');
            await page.waitForFunction(() => document.pictureInPictureElement === null);
            // A screen reader hears what the keys do with the player's name.
            const described = await page.locator('.vidlume-html5').evaluate(
                (p) => document.getElementById(p.getAttribute('aria-describedby')).textContent);
            assert.match(described, /< and > set the speed; P picture in picture/);
        });
    });

    test('keys work on a fresh page and with the player focused, which shows a focus ring', async () => {
        await withPage(null, async (page) => {
            await page.goto(httpUrl(fixture.clip));
            await waitForPlayback(page, 0.2);
            // Nothing focused yet: the page holds only this player, so keys reach it.
            await page.keyboard.press('k');
            assert.equal(await video(page, (v) => v.paused), true, 'K on a fresh page did not pause');

            await page.keyboard.press('Tab');
            assert.equal(await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle), 'solid');
            await page.keyboard.press('Space');
            assert.equal(await video(page, (v) => v.paused), false, 'Space did not play');
            await page.keyboard.press('Space');
            assert.equal(await video(page, (v) => v.paused), true, 'Space did not pause');

            await video(page, (v) => new Promise((resolve) => {
                v.addEventListener('seeked', resolve, {once: true});
                v.currentTime = 20;
            }));
            await page.keyboard.press('ArrowRight');
            assert.ok(near(await video(page, (v) => v.currentTime), 25, 0.1), 'Right did not seek 5 s on');
            await page.keyboard.press('ArrowLeft');
            await page.keyboard.press('ArrowLeft');
            assert.ok(near(await video(page, (v) => v.currentTime), 15, 0.1), 'Left did not seek 5 s back');

            await page.keyboard.press('m');
            assert.deepEqual(await video(page, (v) => [v.muted, v.volume]), [false, 1]);
            await page.keyboard.press('ArrowDown');
            assert.ok(near(await video(page, (v) => v.volume), 0.9, 0.001), 'Down did not lower the volume');
            await page.keyboard.press('ArrowUp');
            assert.ok(near(await video(page, (v) => v.volume), 1, 0.001), 'Up did not raise the volume');
            await page.keyboard.press('M');
            assert.equal(await video(page, (v) => v.muted), true, 'M did not mute');

            await page.keyboard.press('f');
            await page.waitForFunction(() => document.fullscreenElement === document.querySelector('.vidlume-html5'));
            await page.keyboard.press('f');
            await page.waitForFunction(() => document.fullscreenElement === null);

            // With the video itself focused by a click, a key acts once, not also
            // through the browser's own controls.
            await page.locator('video').click();
            const paused = await video(page, (v) => v.paused);
            await page.keyboard.press('Space');
            assert.equal(await video(page, (v) => v.paused), !paused, 'Space acted twice or not at all');
        });
    });

    test('a SubRip file beside the video is published as captions: offered off, labelled, showing its cue', async () => {
        assert.match(fs.readFileSync(path.join(fixture.clip, 'my clip.en.vtt'), 'utf8'),
                     /^WEBVTT\n\n00:00:02\.000 --> 00:00:04\.000\nHello from the captions\n$/);
        await withPage(null, async (page) => {
            await page.goto(fileUrl(fixture.clip));
            await page.waitForFunction(() => document.querySelector('video').textTracks.length === 1);
            const track = await video(page, (v) => {
                const t = v.textTracks[0];
                return {kind: t.kind, label: t.label, lang: t.language, mode: t.mode};
            });
            assert.deepEqual(track, {kind: 'captions', label: 'English', lang: 'en', mode: 'disabled'});
            // C turns them on and off, and says so.
            await page.locator('.vidlume-html5').focus();
            await page.keyboard.press('c');
            assert.equal(await video(page, (v) => v.textTracks[0].mode), 'showing');
            await page.waitForFunction(() => /Captions on, English/.test(document.querySelector('[role=status]').textContent));
            await page.keyboard.press('c');
            assert.equal(await video(page, (v) => v.textTracks[0].mode), 'disabled');
            await page.keyboard.press('c');
            await video(page, (v) => {
                v.pause();
                v.currentTime = 2.5;
            });
            await page.waitForFunction(() => {
                const cues = document.querySelector('video').textTracks[0].activeCues;
                return cues && cues.length === 1 && cues[0].text === 'Hello from the captions';
            }, null, {timeout: 10000});
        });
    });
});

describe('what visitors met on published pages', () => {
    test('on a server without byte ranges the seek keys leave the position alone', async () => {
        await withPage(null, async (page) => {
            await page.goto(httpUrl(fixture.plain, 'index.htm', '/whole'));
            const video = page.locator('video');
            await video.evaluate((v) => v.play());
            await waitForPlayback(page, 1.5);
            await page.locator('.vidlume-html5').focus();
            const before = await video.evaluate((v) => v.currentTime);
            for (const key of ['ArrowRight', 'l', '5', 'End']) {
                await page.keyboard.press(key);
            }
            await page.waitForTimeout(300);
            const after = await video.evaluate((v) => v.currentTime);
            assert.ok(after >= before && after < before + 2, `${before} -> ${after}`);
        });
    });

    test('a page published with no option at all loads metadata only, then plays from file://', async () => {
        await withPage(null, async (page) => {
            await page.goto(fileUrl(fixture.plain));
            const video = page.locator('video');
            await video.evaluate((v) => v.readyState >= 1 || new Promise((ok) => v.addEventListener('loadedmetadata', ok)));
            assert.equal(await video.evaluate((v) => v.preload), 'metadata');
            await video.evaluate((v) => v.play());
            await waitForPlayback(page, 0.5);
            assert.equal(await video.evaluate((v) => v.preload), 'auto');
        });
    });

    for (const [where, url] of [['127.0.0.1', () => httpUrl(fixture.plain)], ['file://', () => fileUrl(fixture.plain)]]) {
        test(`caption text beyond ASCII shows as written, from ${where}`, async () => {
            await withPage(null, async (page) => {
                await page.goto(url());
                const cue = await page.locator('video').evaluate((v) => new Promise((resolve) => {
                    const wait = () => {
                        const track = v.textTracks[0];
                        if (track && track.cues && track.cues.length) {
                            resolve(track.cues[0].text);
                            return;
                        }
                        if (track) {
                            track.mode = 'hidden';
                        }
                        setTimeout(wait, 50);
                    };
                    wait();
                }));
                assert.deepEqual([...cue].map((c) => c.codePointAt(0).toString(16)),
                                 [...UNICODE_CUE].map((c) => c.codePointAt(0).toString(16)), cue);
            });
        });
    }

    test('the page\'s own link style paints nothing behind the logo, nor does any style for images', async () => {
        await withPage(null, async (page) => {
            await page.goto(httpUrl(fixture.clip));
            await page.addStyleTag({content: 'img{border:6px solid red;padding:9px}div{padding:20px;margin:7px}'});
            const logo = page.locator('a.vidlume-logo');
            await logo.hover();
            const look = await logo.evaluate((a) => {
                const img = a.querySelector('img');
                return {background: getComputedStyle(a).backgroundColor, border: getComputedStyle(img).borderTopWidth,
                        width: img.getBoundingClientRect().width, padding: getComputedStyle(a.parentNode).paddingTop};
            });
            assert.deepEqual(look, {background: 'rgba(0, 0, 0, 0)', border: '0px', width: LOGO_WIDTH, padding: '0px'});
        });
    });

    test('a portrait video stays inside the window, without a sound hint or a link at opacity 0', async () => {
        await withPage({viewport: {width: 1280, height: 800}}, async (page) => {
            await page.goto(httpUrl(fixture.portrait));
            const box = await page.locator('.vidlume-html5').boundingBox();
            assert.ok(box.y >= 0 && box.y + box.height <= 800, `player ${JSON.stringify(box)} below the fold`);
            assert.ok(near(box.height / box.width, 854 / 480, 0.01), `aspect ratio lost: ${JSON.stringify(box)}`);
            // The video has no sound: 2 s of playback and still no hint.
            await waitForPlayback(page, 2);
            assert.equal(await page.locator('.vidlume-sound').count(), 0, 'a sound hint without sound');
            assert.equal(await page.locator('.vidlume-html5 a').count(), 0, 'an invisible logo is a link');
            const hit = await page.evaluate(({x, y}) => document.elementFromPoint(x, y).closest('a'),
                                            {x: box.x + 10, y: box.y + 10});
            assert.equal(hit, null);
        });
    });

    test('keys still work after a click on the browser\'s own play button and seek bar, and on the logo', async () => {
        await withPage(null, async (page) => {
            await page.goto(httpUrl(fixture.clip));
            await waitForPlayback(page, 0.5);
            const box = await page.locator('video').boundingBox();
            const paused = () => page.locator('video').evaluate((v) => v.paused);
            // The play button sits at the left end of the controls, the seek bar below them.
            for (const [what, x, y] of [['play button', box.x + 24, box.y + box.height - 48],
                                        ['seek bar', box.x + box.width / 2, box.y + box.height - 22]]) {
                await page.mouse.move(x, y);
                await page.waitForTimeout(200);
                await page.mouse.click(x, y);
                await page.waitForTimeout(200);
                const before = await paused();
                await page.keyboard.press('k');
                assert.equal(await paused(), !before, `K did nothing after a click on the ${what}`);
            }
            // A click on the logo link opens its page and leaves the focus on the link.
            const [popup] = await Promise.all([page.context().waitForEvent('page'),
                                               page.locator('a.vidlume-logo').click()]);
            await popup.close();
            const before = await paused();
            await page.keyboard.press('k');
            assert.equal(await paused(), !before, 'K did nothing after a click on the logo');
        });
    });

    test('the failure message stands alone on the whole player', async () => {
        await withPage(null, async (page) => {
            await page.goto(fileUrl(fixture.gone));
            const note = page.locator('.vidlume-failure');
            await note.waitFor({timeout: 10000});
            const [noteBox, playerBox] = [await note.boundingBox(), await page.locator('.vidlume-html5').boundingBox()];
            assert.deepEqual(noteBox, playerBox);
            assert.equal(await note.evaluate((n) => getComputedStyle(n).backgroundColor), 'rgb(17, 17, 17)');
            // Nothing under the panel takes focus or clicks.
            const under = await page.evaluate(() => Array.from(
                document.querySelectorAll('.vidlume-html5 > :not(.vidlume-failure)'),
                (e) => e.closest('[inert]') !== null));
            assert.ok(under.length > 0 && under.every(Boolean), JSON.stringify(under));
            await page.locator('.vidlume-html5').focus();
            await page.keyboard.press('Tab');
            assert.equal(await page.evaluate(() => document.activeElement.closest('.vidlume-logo')), null);
        });
    });

    test('in full screen the logo sits in the picture\'s corner, not on the bars beside it', async () => {
        await withPage({viewport: {width: 1000, height: 450}}, async (page) => {
            await page.goto(httpUrl(fixture.clip));
            await waitForPlayback(page, 0.2);
            await page.locator('.vidlume-html5').focus();
            await page.keyboard.press('f');
            await page.waitForFunction(() => document.fullscreenElement !== null);
            await page.waitForTimeout(300);
            // A 4:3 picture on 1000x450: 600 px wide in the middle, 200 px bars.
            const logo = await page.locator('.vidlume-logo img').boundingBox();
            assert.ok(near(logo.x + logo.width, 800, 2), `logo ${JSON.stringify(logo)} not at the picture's edge`);
            assert.ok(near(logo.width, LOGO_WIDTH * 600 / 640, 1), `logo ${logo.width} wide`);
            assert.ok(logo.y + logo.height <= 450 - CONTROLS_BAND, 'the logo covers the controls');
        });
    });

    test('a visitor who asked for less motion gets no fading, the browser\'s controls included', async () => {
        for (const reducedMotion of ['no-preference', 'reduce']) {
            await withPage({viewport: {width: 720, height: 560}, reducedMotion}, async (page) => {
                await page.goto(fileUrl(fixture.clip));
                await page.locator('.vidlume-sound').waitFor({timeout: 10000});
                const moves = await page.evaluate(() => [document.querySelector('.vidlume-sound'),
                                                         [document.querySelector('video'), '::-webkit-media-controls-panel']]
                    .map((e) => (Array.isArray(e) ? getComputedStyle(...e) : getComputedStyle(e)).transitionProperty));
                assert.deepEqual(moves, reducedMotion === 'reduce' ? ['none', 'none'] : ['all', 'all']);
            });
        }
    });

    test('one tap on the picture plays a paused video on a phone', async () => {
        await withPage(PHONE, async (page) => {
            await page.goto(fileUrl(fixture.plain));
            const video = page.locator('video');
            await page.waitForFunction(() => document.querySelector('video').readyState >= 2);
            const box = await video.boundingBox();
            await page.touchscreen.tap(box.x + box.width / 2, box.y + box.height / 3);
            await page.waitForTimeout(600);
            assert.equal(await video.evaluate((v) => v.paused), false, 'one tap did not play');
            assert.equal(await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle), 'none',
                         'a tap shows the keyboard\'s focus ring');
        });
    });

    test('on a 320 px player the sound hint and a top-right logo never overlap', async () => {
        await withPage(null, async (page) => {
            await page.goto(httpUrl(fixture.named));
            const hint = page.locator('.vidlume-sound');
            await hint.waitFor({timeout: 10000});
            await page.waitForFunction(() => document.querySelector('.vidlume-logo img').complete);
            await page.waitForTimeout(100);
            const [a, b, player] = [await hint.boundingBox(), await page.locator('.vidlume-logo').boundingBox(),
                                    await page.locator('.vidlume-html5').boundingBox()];
            const apart = a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y ||
                          b.y + b.height <= a.y;
            assert.ok(apart, `hint ${JSON.stringify(a)} covers logo ${JSON.stringify(b)}`);
            assert.ok(a.x >= player.x && a.x + a.width <= player.x + player.width, 'the hint left the player');
        });
    });
});

describe('what a screen reader is told', () => {
    async function axTree(page) {
        const cdp = await page.context().newCDPSession(page);
        await cdp.send('Accessibility.enable');
        const {nodes} = await cdp.send('Accessibility.getFullAXTree');
        return nodes.filter((n) => !n.ignored).map((n) => ({role: n.role && n.role.value,
                                                            name: (n.name && n.name.value) || ''}));
    }

    test('the logo link, the document\'s language and the sound button are named', async () => {
        await withPage(null, async (page) => {
            await page.goto(httpUrl(fixture.clip));
            await page.locator('.vidlume-sound').waitFor({timeout: 10000});
            const nodes = await axTree(page);
            const links = nodes.filter((n) => n.role === 'link');
            assert.equal(links.length, 1, JSON.stringify(links));
            const host = new URL(fixture.logoLink).host;
            assert.match(links[0].name, /^Logo\b/);
            assert.ok(links[0].name.includes(host) && /new window/.test(links[0].name), links[0].name);
            assert.ok(nodes.some((n) => n.role === 'image' && n.name === 'Logo'), 'the logo image has no alt text');
            const shown = await page.locator('.vidlume-sound').innerText();
            const buttons = nodes.filter((n) => n.role === 'button' && n.name.startsWith(shown.trim()));
            assert.equal(buttons.length, 1, `no button named after "${shown}"`);
            assert.equal(await page.evaluate(() => document.documentElement.lang), 'en');
        });
    });

    test('axe finds no WCAG violation on the playing page nor on the failure panel', async () => {
        const axe = require.resolve('axe-core/axe.min.js');
        for (const url of [httpUrl(fixture.clip), fileUrl(fixture.gone)]) {
            await withPage(null, async (page) => {
                await page.goto(url);
                await page.waitForFunction(() => document.querySelector('.vidlume-sound, .vidlume-failure'));
                await page.addScriptTag({path: axe});
                const violations = await page.evaluate(async () => (await window.axe.run(document, {
                    runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa'],
                })).violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`));
                assert.deepEqual(violations, [], url);
            });
        }
    });

    test('each change is said once, by key and by the browser\'s own controls', async () => {
        await withPage(null, async (page) => {
            await page.goto(httpUrl(fixture.clip));
            await waitForPlayback(page, 0.5);
            await page.waitForFunction(() => document.querySelector('video').textTracks.length === 1);
            await page.evaluate(() => {
                const status = document.querySelector('.vidlume-html5 [role=status]');
                window.said = [];
                new MutationObserver(() => status.textContent && window.said.push(status.textContent))
                    .observe(status, {childList: true, characterData: true, subtree: true});
            });
            // Longer than the longest an announcement waits for the next change.
            const heard = async () => {
                await page.waitForTimeout(1400);
                return page.evaluate(() => window.said.splice(0));
            };
            const box = await page.locator('video').boundingBox();
            await page.mouse.move(box.x + 24, box.y + box.height - 48);
            await page.waitForTimeout(200);
            await page.mouse.click(box.x + 24, box.y + box.height - 48); // the browser's play button
            assert.deepEqual(await heard(), ['Paused']);
            await page.keyboard.press('ArrowRight');
            await page.keyboard.press('ArrowRight');
            await page.keyboard.press('ArrowRight');
            const seeks = await heard();
            assert.ok(seeks.length === 1 && /^0:\d\d of 1:00$/.test(seeks[0]), JSON.stringify(seeks));
            // What the browser's own full screen button and captions menu do.
            await page.evaluate(() => document.addEventListener('keydown', (e) => {
                if (e.key === 'x') {
                    document.querySelector('video').requestFullscreen();
                }
            }));
            await page.keyboard.press('x');
            assert.deepEqual(await heard(), ['Full screen']);
            await page.keyboard.press('Escape');
            await page.evaluate(() => document.fullscreenElement && document.exitFullscreen());
            assert.deepEqual(await heard(), ['Full screen off']);
            await page.locator('video').evaluate((v) => {
                v.textTracks[0].mode = 'showing';
            });
            assert.deepEqual(await heard(), ['Captions on, English']);
            await page.keyboard.press('c');
            assert.deepEqual(await heard(), ['Captions off']);
            await page.keyboard.press('m');
            await page.keyboard.press('ArrowDown');
            assert.deepEqual(await heard(), ['Volume 90%']);
        });
    });

    test('Space and M are announced in a polite live region; the focus ring stands out anywhere', async () => {
        await withPage(null, async (page) => {
            await page.goto(httpUrl(fixture.clip));
            await waitForPlayback(page, 0.2);
            const status = page.locator('.vidlume-html5 [role=status]');
            assert.equal(await status.getAttribute('aria-live'), 'polite');
            await page.keyboard.press('Tab');
            const ring = await page.evaluate(() => {
                const s = getComputedStyle(document.activeElement);
                return [s.outlineColor, s.boxShadow].map((t) => t.match(/rgba?\(([^)]*)\)/)[1].split(',').map(Number));
            });
            for (let grey = 0; grey <= 255; grey += 5) {
                for (const background of [[grey, grey, grey], [0x67, 0xa8, 0xc1], [255, 0, 0], [0, 0, 255]]) {
                    const best = Math.max(...ring.map((c) => contrast(c.slice(0, 3), background)));
                    assert.ok(best >= 3, `the ring is ${best.toFixed(2)}:1 on ${background}`);
                }
            }
            await page.keyboard.press('Space');
            await page.waitForFunction(() => document.querySelector('[role=status]').textContent === 'Paused');
            await page.keyboard.press('m');
            await page.waitForFunction(() => document.querySelector('[role=status]').textContent === 'Sound on');
            await page.keyboard.press('ArrowRight');
            await page.waitForFunction(() => /^0:\d\d of 1:00$/.test(document.querySelector('[role=status]').textContent));
        });
    });
});
