#!/usr/bin/env node
/*
 * Publishes a Sorenson FLV for the Flash player alone, serves the new folders and the
 * pinned Ruffle on 127.0.0.1 and plays the pages' Flash element under Ruffle in
 * headless Chromium. Ruffle is added to the page by this test only.
 *
 * The test video shows its own time: a white band grows from the left edge across
 * the whole width over the video's length, so the picture on screen says which
 * moment it is. The seek bar's played part says which moment the player claims.
 *
 * Usage: node flash-player.test.js VIDLUME_CLI WORK_DIR [--screenshot FILE]
 * Exit codes: 0 passed, 1 failed, 77 skipped (Chromium or ffmpeg not installed).
 */
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const kit = require('./browser-kit');

const WATCHDOG_MS = 280000;
const DURATION = 24;
const WIDTH = 640;
const HEIGHT = 360; // the picture's own aspect ratio: the bar lies over its bottom
const BAR = 24;
const BAR_TOP = HEIGHT - BAR;
const POSTER = [0x20, 0x30, 0x50];
const LOGO = [0xE0, 0x80, 0x20];
const LOGO_ALPHA = 60;
const LOGO_WIDTH = 50;
const LOGO_NATURAL = [160, 60];
const TRACK = [0x4C, 0x4C, 0x4C]; // brightcolor
const HOVER = [0x67, 0xA8, 0xC1]; // hovercolor
const WHITE = [255, 255, 255];
const GREY = [70, 70, 70]; // the H.264 video's background
const VIEWPORT = {width: 720, height: 560};

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const near = (pixel, colour, tolerance = 10) => pixel.every((v, i) => Math.abs(v - colour[i]) <= tolerance);
const blend = (top, under, alpha) => top.map((v, i) => Math.round(v * alpha + under[i] * (1 - alpha)));

function makeMedia(dir) {
    const plain = {video: path.join(dir, 'clip.flv'), poster: path.join(dir, 'poster.png'),
                   logo: path.join(dir, 'logo.png')};
    kit.ffmpeg(['-f', 'lavfi', '-i', `nullsrc=size=${WIDTH}x${HEIGHT}:rate=25:duration=${DURATION},format=gray,` +
                `geq=lum='if(lt(X\\,W*T/${DURATION})\\,235\\,16)'`,
                '-f', 'lavfi', '-i', `sine=frequency=440:duration=${DURATION}`,
                '-c:v', 'flv1', '-q:v', '4', '-pix_fmt', 'yuv420p', '-c:a', 'libmp3lame', '-ar', '44100',
                '-shortest', '-f', 'flv', plain.video]);
    kit.ffmpeg(['-f', 'lavfi', '-i', `color=c=0x203050:s=${WIDTH}x${HEIGHT}`, '-frames:v', '1', plain.poster]);
    const font = '/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf';
    const word = fs.existsSync(font)
        ? `,drawtext=fontfile=${font}:text=LOGO:fontsize=34:fontcolor=white:x=(w-tw)/2:y=(h-th)/2`
        : '';
    kit.ffmpeg(['-f', 'lavfi', '-i', `color=c=0xE08020:s=${LOGO_NATURAL.join('x')}${word}`, '-frames:v', '1',
                plain.logo]);

    // Its first third takes most of the bytes (a noisy strip along the top), so the
    // loaded share of the bytes overstates the loaded share of the time.
    const front = {...plain, video: path.join(dir, 'front.flv')};
    kit.ffmpeg(['-f', 'lavfi', '-i', `nullsrc=size=${WIDTH}x${HEIGHT}:rate=25:duration=${DURATION},format=gray,` +
                `geq=lum='if(lt(X\\,W*T/${DURATION})\\,235\\,if(lt(T\\,8)*lt(Y\\,16)\\,16+40*random(1)\\,16))'`,
                '-f', 'lavfi', '-i', `sine=frequency=440:duration=${DURATION}`,
                '-c:v', 'flv1', '-q:v', '4', '-pix_fmt', 'yuv420p', '-c:a', 'libmp3lame', '-ar', '44100',
                '-shortest', '-f', 'flv', front.video]);

    const special = {video: path.join(dir, 'Episode #3 50% off?.flv'), poster: path.join(dir, 'cover #1.png'),
                     logo: path.join(dir, 'logo%.png')};
    for (const key of Object.keys(plain)) {
        fs.copyFileSync(plain[key], special[key]);
    }
    return {plain, special, front};
}

function publish(cli, media, outDir, {size = `${WIDTH}x${HEIGHT}`, autoplay = false, poster = true, logoLink = '',
                                      logoAlpha = LOGO_ALPHA, corner = 'bottom-left', logoWidth = LOGO_WIDTH} = {}) {
    const args = ['--no-html5', '--size', size, '--logo', '--logo-image', media.logo,
                  '--logo-alpha', String(logoAlpha), '--logo-position', corner, '--out', outDir];
    if (poster) {
        args.push('--thumbnail', '--thumbnail-image', media.poster);
    }
    if (logoWidth) {
        args.push('--logo-width', String(logoWidth));
    }
    if (autoplay) {
        args.push('--autoplay');
    }
    if (logoLink) {
        args.push('--logo-link', logoLink);
    }
    const result = kit.run(cli, [...args, media.video]);
    const notice = logoAlpha === 0 ? "The logo's opacity is 0, so visitors will not see it.\n" : '';
    assert.equal(result.stderr, notice, 'publishing left something out');
    const folder = result.stdout.trim();
    for (const name of ['index.htm', 'flvplayer1.swf', path.basename(media.video)]) {
        assert.ok(fs.existsSync(path.join(folder, name)), `${name} was not published`);
    }
    return folder;
}

/* Opens url in a new page with Ruffle added from the test's server and the page's
   sound output tapped; resolves when the player draws its control bar. */
async function openUnderRuffle(context, url, ruffleBase, height = HEIGHT, {bar = true} = {}) {
    const page = await context.newPage();
    const problems = [];
    const warnings = []; // the player names a failure on the console too
    page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
    page.on('console', (m) => m.type() === 'warning' && warnings.push(m.text()));
    if (process.env.VIDLUME_FLASH_CONSOLE) {
        page.on('console', (m) => console.log(`console ${m.type()}: ${m.text()}`));
    }
    await page.addInitScript((base) => {
        // Everything sent to a sound output also reaches an analyser, which tells its level.
        const analysers = [];
        const connect = AudioNode.prototype.connect;
        AudioNode.prototype.connect = function (target, ...rest) {
            if (target instanceof AudioDestinationNode) {
                const context = target.context;
                if (!context.vidlumeTap) {
                    context.vidlumeTap = context.createAnalyser();
                    context.vidlumeTap.fftSize = 2048;
                    const silent = context.createGain();
                    silent.gain.value = 0;
                    connect.call(context.vidlumeTap, silent);
                    connect.call(silent, target);
                    analysers.push(context.vidlumeTap);
                }
                connect.call(this, context.vidlumeTap);
            }
            return connect.call(this, target, ...rest);
        };
        window.vidlumeSoundLevel = () => {
            let level = 0;
            for (const analyser of analysers) {
                const samples = new Float32Array(analyser.fftSize);
                analyser.getFloatTimeDomainData(samples);
                level = Math.max(level, Math.sqrt(samples.reduce((sum, v) => sum + v * v, 0) / samples.length));
            }
            return level;
        };
        // Each request to enter or leave full screen is noted, whether the browser grants it or not.
        window.vidlumeFullScreen = [];
        const enter = Element.prototype.requestFullscreen;
        Element.prototype.requestFullscreen = function (...args) {
            window.vidlumeFullScreen.push('enter');
            return enter.apply(this, args);
        };
        const leave = Document.prototype.exitFullscreen;
        Document.prototype.exitFullscreen = function (...args) {
            window.vidlumeFullScreen.push('leave');
            return leave.apply(this, args);
        };
        // The canvas renderer: WebGL draws nothing in headless Chromium without a GPU.
        window.RufflePlayer = {config: {publicPath: base, autoplay: 'on', unmuteOverlay: 'hidden',
                                        splashScreen: false, logLevel: 'warn',
                                        preferredRenderer: 'canvas'}};
        addEventListener('DOMContentLoaded', () => {
            const script = document.createElement('script');
            script.src = base + 'ruffle.js';
            document.head.appendChild(script);
        });
    }, ruffleBase);
    await page.goto(url);
    const element = page.locator('ruffle-object, ruffle-embed').first();
    await element.waitFor({timeout: 40000});
    const box = await element.boundingBox();
    assert.equal(box.width, WIDTH);
    assert.equal(box.height, height);
    const player = {page, box, problems, warnings, height, barTop: height - BAR};
    if (!bar) {
        return player;
    }
    // The pointer moves over the picture, which brings the bar even while playing.
    let jiggle = 0;
    await waitFor(player, (shot) => {
        jiggle = 1 - jiggle;
        page.mouse.move(box.x + WIDTH / 2 + jiggle, box.y + height / 3).catch(() => {});
        return barShows(player, shot);
    }, 'the control bar did not show', 40000);
    return player;
}

/* Where the last screenshot is kept when a wait fails, for a look at what went wrong. */
let failureShot = null;

async function shoot(player) {
    const {x, y} = player.box;
    player.shotAt = Date.now();
    const png = await player.page.screenshot({clip: {x, y, width: player.width || WIDTH, height: player.height}});
    player.shotDone = Date.now();
    player.lastPng = png;
    return kit.decodePng(png);
}

async function waitFor(player, test, failure, timeout = 30000) {
    const end = Date.now() + timeout;
    for (;;) {
        const shot = await shoot(player);
        if (test(shot)) {
            return shot;
        }
        if (Date.now() >= end && failureShot) {
            fs.writeFileSync(failureShot, player.lastPng);
        }
        assert.ok(Date.now() < end, `${failure}; ${player.problems.join('; ')}`);
        await sleep(200);
    }
}

/* Waits until the page has asked for full screen and left it as often as `calls` says,
   and the browser shows the player in full screen (or not) accordingly. */
async function waitForFullScreen(page, calls, inFullScreen, failure) {
    const end = Date.now() + 3000;
    let state = null;
    while (Date.now() < end) {
        state = await page.evaluate(() => ({calls: window.vidlumeFullScreen.join(','),
                                            full: document.fullscreenElement !== null}));
        if (state.calls === calls && state.full === inFullScreen) {
            return;
        }
        await sleep(100);
    }
    assert.fail(`${failure}: ${JSON.stringify(state)}`);
}

const soundLevel = (player) => player.page.evaluate(() => window.vidlumeSoundLevel());

async function waitForSound(player, test, failure, timeout = 8000) {
    const end = Date.now() + timeout;
    let level = 0;
    while (Date.now() < end) {
        level = await soundLevel(player);
        if (test(level)) {
            return level;
        }
        await sleep(100);
    }
    assert.fail(`${failure} (level ${level.toFixed(4)})`);
}

/* The seek bar's x for a share of the video, with the bar's buttons and the clock
   "0:00 / 0:24" laid out as the player does. */
const seekAt = (share) => Math.round(28 + share * (WIDTH - 194));
const barRow = (player) => player.barTop + 12;
/* The full-screen button's four white corners, and no more white around them. */
function barShows(player, shot) {
    const width = player.width || WIDTH;
    let white = 0;
    for (let y = player.barTop; y < player.height; y++) {
        for (let x = width - BAR; x < width; x++) {
            white += near(shot.pixel(x, y), WHITE, 60) ? 1 : 0;
        }
    }
    return white >= 8 && white <= 150;
}
const showsPause = (player, shot) => near(shot.pixel(14, player.barTop + 8), WHITE, 60);

/* The moment the picture shows: the share of the row that the white band covers. */
function pictureShare(shot, row) {
    let white = 0;
    for (let x = 0; x < WIDTH; x++) {
        if (shot.pixel(x, row)[0] > 128) {
            white++;
        }
    }
    return white / WIDTH;
}

/* The moment the player claims: where the played part of the seek bar ends. */
function claimedShare(player, shot) {
    let end = seekAt(0);
    for (let x = Math.floor(seekAt(0)); x <= seekAt(1); x++) {
        if (near(shot.pixel(x, barRow(player)), WHITE, 40) || near(shot.pixel(x, barRow(player)), HOVER, 40)) {
            end = x;
        }
    }
    return Math.max(0, (end - 5 - seekAt(0)) / (seekAt(1) - seekAt(0))); // less the knob's radius
}

/* The box of the pixels of one colour in a part of the shot. */
function colourBox(shot, colour, {left = 0, top = 0, right = WIDTH, bottom = shot.height} = {}) {
    const box = {left: WIDTH, top: shot.height, right: -1, bottom: -1};
    for (let y = top; y < bottom; y++) {
        for (let x = left; x < right; x++) {
            if (near(shot.pixel(x, y), colour, 8)) {
                box.left = Math.min(box.left, x);
                box.right = Math.max(box.right, x);
                box.top = Math.min(box.top, y);
                box.bottom = Math.max(box.bottom, y);
            }
        }
    }
    return box;
}

/* The loudest the page's sound gets while `act` runs and for `ms` after it. */
async function loudestDuring(player, act, ms = 1500) {
    const loudest = player.page.evaluate((ms) => new Promise((resolve) => {
        let level = 0;
        const start = performance.now();
        const timer = setInterval(() => {
            level = Math.max(level, window.vidlumeSoundLevel());
            if (performance.now() - start > ms) {
                clearInterval(timer);
                resolve(level);
            }
        }, 10);
    }), ms);
    await sleep(50);
    await act();
    return loudest;
}

/* The box of the logo over the grey picture: the logo's colour at its opacity over
   any grey keeps its differences between red, green and blue. */
function logoBox(shot, width, height) {
    const box = {left: width, top: height, right: -1, bottom: -1};
    const alpha = LOGO_ALPHA / 100;
    for (let y = 0; y < height; y++) {
        for (let x = 0; x < width; x++) {
            const [r, g, b] = shot.pixel(x, y);
            if (Math.abs(r - b - alpha * (LOGO[0] - LOGO[2])) <= 12 && Math.abs(g - b - alpha * (LOGO[1] - LOGO[2])) <= 12) {
                box.left = Math.min(box.left, x);
                box.right = Math.max(box.right, x);
                box.top = Math.min(box.top, y);
                box.bottom = Math.max(box.bottom, y);
            }
        }
    }
    return box;
}

async function clickPicture(player) {
    await player.page.mouse.click(player.box.x + WIDTH / 2, player.box.y + HEIGHT / 3);
}

async function press(player, key) {
    await player.page.keyboard.press(key);
}

/* The click-to-play page: the poster, the logo and the duration before play; sound,
   mute and keys; the bar hiding; a paused seek and a drag that move the picture;
   the end; the logo's link. */
async function checkClickToPlay(context, url, ruffleBase, logoLink, screenshot) {
    const player = await openUnderRuffle(context, url, ruffleBase);
    const {page, box} = player;
    const before = await waitFor(player, (shot) => near(shot.pixel(100, 100), POSTER), 'the poster did not show');
    // The logo at its typed width in the bottom-left corner of the picture, above the bar.
    const logo = colourBox(before, blend(LOGO, POSTER, LOGO_ALPHA / 100), {right: WIDTH / 2, top: HEIGHT / 2});
    assert.ok(logo.left <= 1 && Math.abs(logo.bottom - (BAR_TOP - 1)) <= 1, `logo corner: ${JSON.stringify(logo)}`);
    assert.ok(Math.abs(logo.right - logo.left + 1 - LOGO_WIDTH) <= 2, `logo width: ${JSON.stringify(logo)}`);
    await sleep(800);
    assert.equal(pictureShare(await shoot(player), 100), 0, 'the picture moved before play');

    // The duration is known before play: the seek bar names the time under the pointer.
    await page.mouse.move(box.x + seekAt(0.5), box.y + barRow(player));
    await waitFor(player, (shot) => near(shot.pixel(seekAt(0.5), barRow(player)), TRACK, 6) &&
                                    [...Array(16).keys()].some((x) => near(shot.pixel(seekAt(0.5) - 8 + x,
                                                                                      BAR_TOP - 10), WHITE, 60)),
                  'no time over the seek bar before play');

    await clickPicture(player);
    await waitFor(player, (shot) => pictureShare(shot, 100) > 0.03, 'the picture does not move');
    await waitForSound(player, (level) => level > 0.02, 'no sound while playing');
    if (screenshot) {
        await page.mouse.move(box.x + seekAt(0.6), box.y + barRow(player));
        await sleep(400);
        await page.screenshot({path: screenshot, clip: {...box}});
    }

    // M mutes and unmutes; Down turns the sound down.
    await press(player, 'm');
    await waitForSound(player, (level) => level < 0.002, 'M does not silence the sound', 1500);
    await press(player, 'm');
    const full = await waitForSound(player, (level) => level > 0.02, 'M does not bring the sound back', 3000);
    for (let i = 0; i < 5; i++) {
        await press(player, 'ArrowDown');
    }
    await waitForSound(player, (level) => level < full * 0.7 && level > 0.002, 'Down does not turn the sound down');
    console.log('passed: the duration before play, sound, M and Down');

    // A double click on the picture asks for full screen and leaves it again; so does F. Playback
    // goes on. In full screen the bar lies over the bottom of the screen and hides after 2 s.
    const whole = {...player, box: {x: 0, y: 0}, width: VIEWPORT.width, height: VIEWPORT.height,
                   barTop: VIEWPORT.height - BAR};
    await page.mouse.dblclick(box.x + WIDTH / 2, box.y + HEIGHT / 3);
    await waitForFullScreen(page, 'enter', true, 'a double click does not ask for full screen');
    await page.mouse.move(box.x + WIDTH / 2 + 40, box.y + HEIGHT / 3 + 30);
    const still = Date.now();
    const wholeShot = await waitFor(whole, (shot) => barShows(whole, shot) && showsPause(whole, shot),
                                    'no playing bar at the bottom of the full screen', 3000);
    // The logo grows with the player: the picture is 1.125 times its size on the page.
    const large = logoBox(wholeShot, VIEWPORT.width, VIEWPORT.height);
    assert.ok(Math.abs(large.right - large.left + 1 - LOGO_WIDTH * 1.125) <= 2,
              `the logo in full screen: ${JSON.stringify(large)}`);
    await waitFor(whole, (shot) => !barShows(whole, shot), 'the bar did not hide in full screen', 5000);
    assert.ok(whole.shotAt - still >= 1500, `the bar went ${whole.shotAt - still} ms after the pointer moved`);
    await page.mouse.dblclick(box.x + WIDTH / 2, box.y + HEIGHT / 3);
    await waitForFullScreen(page, 'enter,leave', false, 'a second double click does not leave full screen');
    await press(player, 'f');
    await waitForFullScreen(page, 'enter,leave,enter', true, 'F does not ask for full screen');
    // The player has taken the screen (its bar lies at the screen's bottom) before F again.
    await waitFor(whole, (shot) => barShows(whole, shot), 'no bar at the bottom of the full screen', 3000);
    await press(player, 'f');
    await waitForFullScreen(page, 'enter,leave,enter,leave', false, 'a second F does not leave full screen');
    await waitFor(player, (shot) => showsPause(player, shot), 'full screen stopped playback', 3000);
    console.log('passed: a double click and F enter and leave full screen; the bar hides there');

    // Without a mouse movement the bar goes after 2 s while playing.
    await page.mouse.move(box.x + WIDTH / 2 + 30, box.y + HEIGHT / 3 + 20); // not where the click was
    const moved = Date.now();
    await waitFor(player, (shot) => !barShows(player, shot), 'the bar did not hide', 5000);
    assert.ok(player.shotAt - moved >= 1500, `the bar went ${player.shotAt - moved} ms after the pointer moved`);
    // The logo stays where it was while the bar showed.
    const settled = logoBox(await shoot(player), WIDTH, HEIGHT);
    assert.ok(settled.left <= 1 && Math.abs(settled.bottom - (BAR_TOP - 1)) <= 1,
              `the logo moved when the bar went: ${JSON.stringify(settled)}`);

    // The pointer resting on the bar keeps it; leaving the player hides it at once.
    await page.mouse.move(box.x + WIDTH - 130, box.y + barRow(player));
    await waitFor(player, (shot) => barShows(player, shot), 'the bar does not come back under the pointer', 3000);
    await sleep(3000);
    assert.ok(barShows(player, await shoot(player)), 'the bar hid under a pointer resting on it');
    const outside = box.y + HEIGHT + 30 < VIEWPORT.height ? box.y + HEIGHT + 30 : box.y - 10;
    await page.mouse.move(box.x + WIDTH / 2, outside, {steps: 4});
    const left = Date.now();
    let wiggle = 0;
    await waitFor(player, (shot) => {
        wiggle = 1 - wiggle;
        page.mouse.move(box.x + WIDTH / 2 + 10 * wiggle, outside).catch(() => {});
        return !barShows(player, shot);
    }, 'the bar stays after the pointer left the player', 5000);
    assert.ok(player.shotAt - left < 1200, `the bar went ${player.shotAt - left} ms after the pointer left`);
    await page.mouse.move(box.x + WIDTH / 2 + 30, box.y + HEIGHT / 3 + 20);

    // Space pauses; 5 seeks to the middle, and the paused picture shows it without a sound.
    await press(player, ' ');
    await waitFor(player, (shot) => !showsPause(player, shot), 'Space did not pause');
    await waitForSound(player, (level) => level < 0.002, 'the sound goes on after a pause');
    const seekSound = await loudestDuring(player, () => press(player, '5'));
    await waitFor(player, (shot) => Math.abs(pictureShare(shot, 100) - 0.5) < 0.05,
                  'the paused picture does not show the seek to the middle', 5000);
    assert.ok(seekSound < 0.002, `a paused seek made a sound (level ${seekSound.toFixed(4)})`);

    // Dragging on the seek bar moves the picture before the button is let go.
    await page.mouse.move(box.x + seekAt(0.2), box.y + barRow(player));
    await page.mouse.down();
    for (let step = 5; step <= 14; step++) {
        await page.mouse.move(box.x + seekAt(step / 20), box.y + barRow(player));
        await sleep(60);
    }
    await waitFor(player, (shot) => Math.abs(pictureShare(shot, 100) - 0.7) < 0.05,
                  'the picture does not follow a drag', 5000);
    await page.mouse.up();
    // Home, while paused, shows the first frame, silent.
    const homeSound = await loudestDuring(player, () => press(player, 'Home'));
    await waitFor(player, (shot) => pictureShare(shot, 100) < 0.02 && claimedShare(player, shot) < 0.02,
                  'the paused picture does not go back to the start', 5000);
    assert.ok(homeSound < 0.002, `Home while paused made a sound (level ${homeSound.toFixed(4)})`);
    console.log('passed: the bar hides, Space, 5, a paused seek and a drag, Home, all silent');

    // The end: the poster again, the play button and a clock at the start.
    await press(player, '9');
    await press(player, 'k');
    await waitFor(player, (shot) => near(shot.pixel(100, 100), POSTER) && !showsPause(player, shot) &&
                                    claimedShare(player, shot) < 0.02, 'the end does not go back to the poster', 12000);
    // A paused seek after the end shows its picture in the poster's place.
    await press(player, '3');
    await waitFor(player, (shot) => Math.abs(pictureShare(shot, 100) - 0.3) < 0.05,
                  'a paused seek after the end does not show its picture', 5000);

    const [popup] = await Promise.all([context.waitForEvent('page', {timeout: 10000}),
                                       page.mouse.click(box.x + LOGO_WIDTH / 2, box.y + BAR_TOP - 5)]);
    await popup.waitForLoadState();
    assert.equal(popup.url(), logoLink, 'the logo opened another address');
    await popup.close();
    assert.deepEqual(player.problems, []);
    await page.close();
}

/* Autostart in a player taller than the picture, served at half the speed the video
   needs. The picture waits with the busy ring, and the seek bar never claims a moment
   the picture has not reached. The logo, without a typed width, is at the image's own
   width in the top-right corner of the picture, not of the black band above it. */
async function checkSlowAutostart(context, url, ruffleBase) {
    const height = HEIGHT + 120;
    const player = await openUnderRuffle(context, url, ruffleBase, height);
    const {page, box} = player;
    await waitFor(player, (shot) => showsPause(player, shot), 'the play button does not show pause while playing', 3000);
    const logoIn = (shot) => colourBox(shot, LOGO, {left: WIDTH / 2, bottom: height / 2});
    const logo = logoIn(await waitFor(player, (shot) => logoIn(shot).right >= 0, 'no logo', 15000));
    assert.deepEqual([logo.right - logo.left + 1, logo.bottom - logo.top + 1], LOGO_NATURAL,
                     `not the image's own size: ${JSON.stringify(logo)}`);
    assert.deepEqual([logo.right, logo.top], [WIDTH - 1, 60], `not in the picture's corner: ${JSON.stringify(logo)}`);

    // The pointer rests on the clock, which keeps the bar in view.
    await page.mouse.move(box.x + WIDTH - 130, box.y + barRow(player));
    const ringAround = (shot) => {
        let lit = 0;
        for (let angle = 0; angle < 360; angle += 6) {
            const x = Math.round(WIDTH / 2 + 18 * Math.cos(angle * Math.PI / 180));
            const y = Math.round(height / 2 + 18 * Math.sin(angle * Math.PI / 180));
            lit += shot.pixel(x, y)[0] > 100 ? 1 : 0;
        }
        return lit >= 5;
    };
    let busySeen = false;
    let furthest = 0;
    const end = Date.now() + 9000;
    while (Date.now() < end) {
        const shot = await shoot(player);
        const shown = pictureShare(shot, 160) * DURATION;
        const claimed = claimedShare(player, shot) * DURATION;
        assert.ok(claimed <= shown + 1, `the bar claims ${claimed.toFixed(1)} s, the picture shows ${shown.toFixed(1)} s`);
        furthest = Math.max(furthest, shown);
        busySeen = busySeen || (shown < DURATION / 2 - 1 && ringAround(shot));
        await sleep(250);
    }
    assert.ok(busySeen, 'no busy ring while the video waits for its data');
    assert.ok(furthest > 1, `the picture hardly moved: ${furthest.toFixed(1)} s`);
    await page.close();
}

/* The end of a video without a poster: the first frame, paused, at 0:00, as a stop
   at the start; a paused seek from there shows its picture, without a sound. */
async function checkEndWithoutPoster(context, url, ruffleBase) {
    const height = HEIGHT + 120;
    const player = await openUnderRuffle(context, url, ruffleBase, height);
    const row = 60 + 100; // the picture lies in the middle of the taller player
    await waitFor(player, (shot) => pictureShare(shot, row) > 0.03, 'the picture does not move');
    await player.page.locator('ruffle-object, ruffle-embed').first().focus(); // keys without a click
    await press(player, '9');
    await waitFor(player, (shot) => pictureShare(shot, row) > 0.9, 'no seek towards the end', 8000);
    const moveOn = async () => {
        await player.page.mouse.move(player.box.x + WIDTH / 2 + Math.random() * 20, player.box.y + height / 3);
    };
    await waitFor(player, (shot) => {
        moveOn().catch(() => {});
        return !showsPause(player, shot) && pictureShare(shot, row) < 0.02 && claimedShare(player, shot) < 0.02;
    }, 'the end does not show the first frame at 0:00', 12000);
    await waitForSound(player, (level) => level < 0.002, 'the sound goes on after the end');
    const sound = await loudestDuring(player, () => press(player, '5'));
    await waitFor(player, (shot) => Math.abs(pictureShare(shot, row) - 0.5) < 0.05,
                  'a paused seek after the end does not show its picture', 5000);
    assert.ok(sound < 0.002, `a paused seek after the end made a sound (level ${sound.toFixed(4)})`);
    assert.deepEqual(player.problems, []);
    await player.page.close();
}

/* An H.264 video, whose frames Ruffle decodes a moment after their time: the poster
   stays until the first frame is drawn, with nothing black between them. Every frame
   the page draws is watched, at a point the video shows in grey at its start. */
async function checkPosterUntilPicture(context, url, ruffleBase) {
    const player = await openUnderRuffle(context, url, ruffleBase);
    const {page} = player;
    await waitFor(player, (shot) => near(shot.pixel(100, 100), POSTER), 'the poster did not show');
    const watching = await page.evaluate(() => {
        const element = document.querySelector('ruffle-object, ruffle-embed');
        const canvas = element.shadowRoot && element.shadowRoot.querySelector('canvas');
        if (!canvas || !canvas.getContext('2d')) {
            return false;
        }
        const drawing = canvas.getContext('2d');
        window.vidlumeColours = [];
        const look = () => {
            const d = drawing.getImageData(Math.round(100 * canvas.width / 640), Math.round(100 * canvas.height / 360),
                                           1, 1).data;
            const seen = window.vidlumeColours;
            const last = seen[seen.length - 1];
            if (!last || last.some((v, i) => v !== d[i])) {
                seen.push([d[0], d[1], d[2]]);
            }
            if (seen.length < 50) {
                requestAnimationFrame(look);
            }
        };
        requestAnimationFrame(look);
        return true;
    });
    assert.ok(watching, "no canvas to watch in Ruffle's element");
    await sleep(800);
    await clickPicture(player);
    await waitFor(player, (shot) => pictureShare(shot, 100) > 0.03, 'the H.264 picture does not move', 20000);
    const colours = await page.evaluate(() => window.vidlumeColours);
    const first = colours.findIndex((c) => !near(c, POSTER));
    assert.ok(first > 0 && near(colours[first], GREY, 12),
              `after the poster came ${JSON.stringify(colours.slice(first, first + 3))}, not the first frame`);
    assert.deepEqual(player.problems, []);
    await page.close();
}

/* The front-loaded video, autostarted from a server that sends it at the rate of its
   average: playback waits where the data runs out, and goes on from there. Once the
   picture moves, it never moves on faster than the clock on the wall. A screenshot
   shows a frame drawn at some moment between its request and its arrival, so two of
   them lie at most from the first's request to the second's arrival apart. */
async function checkStallResumesInPlace(context, url, ruffleBase) {
    const height = HEIGHT + 120;
    const player = await openUnderRuffle(context, url, ruffleBase, height);
    const row = 60 + 100;
    let last = null;
    let furthest = 0;
    const end = Date.now() + 22000;
    while (Date.now() < end) {
        const shot = await shoot(player);
        const shown = pictureShare(shot, row) * DURATION;
        if (last && last.shown > 0) {
            const apart = player.shotDone - last.at;
            assert.ok(shown - last.shown <= apart / 1000 + 0.3,
                      `the picture jumped from ${last.shown.toFixed(2)} s to ${shown.toFixed(2)} s ` +
                      `in ${apart} ms`);
        }
        last = {shown, at: player.shotAt};
        furthest = Math.max(furthest, shown);
        await sleep(150);
    }
    assert.ok(furthest > 2, `the picture hardly moved: ${furthest.toFixed(1)} s`);
    assert.deepEqual(player.problems, []);
    await player.page.close();
}

/* A video that is not there: a panel with the cause over the poster, within 2 s of
   the server's answer, before anyone clicks. Enter asks for it again; once it is back
   in place, a click on the panel plays it. */
async function checkMissingVideo(context, url, ruffleBase, server, videoPath, restore) {
    const player = await openUnderRuffle(context, url, ruffleBase, HEIGHT, {bar: false});
    const panel = blend([0x11, 0x11, 0x11], POSTER, 0.92);
    const shot = await waitFor(player, (s) => near(s.pixel(60, HEIGHT / 2), panel, 6) && near(s.pixel(100, 100), POSTER),
                               'no message over the poster for a missing video', 12000);
    const seen = player.shotAt; // the screenshot that showed it was asked for then
    const answer = server.answers.find((a) => a.status === 404 && decodeURIComponent(a.path) === videoPath);
    assert.ok(answer, 'the video was not asked for');
    assert.ok(seen - answer.at < 2000, `the message came ${seen - answer.at} ms after the server's answer`);
    console.log(`the message showed within ${seen - answer.at} ms of the server's answer`);
    assert.ok([...Array(WIDTH).keys()].some((x) => near(shot.pixel(x, HEIGHT / 2), WHITE, 60)), 'the panel is empty');
    assert.ok(!barShows(player, shot), 'the bar is still there');

    const asked = () => server.answers.filter((a) => decodeURIComponent(a.path) === videoPath).length;
    const before = asked();
    await player.page.locator('ruffle-object, ruffle-embed').first().focus();
    await press(player, 'Enter');
    const end = Date.now() + 5000;
    while (asked() === before && Date.now() < end) {
        await sleep(100);
    }
    assert.ok(asked() > before, 'Enter on the failure panel does not ask for the video again');
    await waitFor(player, (s) => near(s.pixel(60, HEIGHT / 2), panel, 6), 'no message after a second 404', 8000);
    restore();
    await player.page.mouse.click(player.box.x + WIDTH / 2, player.box.y + HEIGHT / 2);
    await waitFor(player, (s) => pictureShare(s, 100) > 0.03, 'a click on the failure panel does not play the video',
                  20000);
    await player.page.close();
}

/* A video that fails after it started: the panel over the picture names the cause in
   the HTML5 player's words, which the player also writes to the browser's console. */
async function checkFailureWhilePlaying(context, url, ruffleBase, expected, failure) {
    const height = HEIGHT + 120;
    const player = await openUnderRuffle(context, url, ruffleBase, height, {bar: false});
    const panel = blend([0x11, 0x11, 0x11], [0, 0, 0], 0.92);
    const started = Date.now();
    const shot = await waitFor(player, (s) => player.warnings.some((w) => w.includes(expected)) &&
                                             near(s.pixel(60, height / 2), panel, 4), failure, 25000);
    assert.ok([...Array(WIDTH).keys()].some((x) => near(shot.pixel(x, height / 2), WHITE, 60)), 'the panel is empty');
    assert.ok(!barShows(player, shot), 'the bar is still there');
    assert.deepEqual(player.problems, []);
    await player.page.close();
    return Date.now() - started;
}

/* Names holding "#", "%", "?" and blanks: the video, the poster and the logo load.
   The logo is at opacity 0: a click where it lies is a click on the picture, not on
   its link. */
async function checkSpecialNames(context, url, ruffleBase) {
    const player = await openUnderRuffle(context, url, ruffleBase);
    const {page, box} = player;
    await waitFor(player, (shot) => near(shot.pixel(100, 100), POSTER), 'the poster did not show');
    let opened = false;
    const onPage = () => { opened = true; };
    context.on('page', onPage);
    await page.mouse.click(box.x + LOGO_WIDTH / 2, box.y + BAR_TOP - 5);
    await waitFor(player, (shot) => pictureShare(shot, 100) > 0.03, 'the picture does not move');
    context.off('page', onPage);
    assert.ok(!opened, 'the invisible logo opened its link');
    assert.deepEqual(player.problems, []);
    await page.close();
}

async function main() {
    const [cli, workRoot] = process.argv.slice(2);
    const shotIndex = process.argv.indexOf('--screenshot');
    const screenshot = shotIndex > 0 ? path.resolve(process.argv[shotIndex + 1]) : null;
    const only = process.env.VIDLUME_FLASH_ONLY || '';
    if (!cli || !workRoot) {
        console.error('usage: flash-player.test.js VIDLUME_CLI WORK_DIR [--screenshot FILE]');
        return 2;
    }
    if (!fs.existsSync(kit.CHROMIUM) || !kit.which('ffmpeg')) {
        console.log(`skipped: needs ${kit.CHROMIUM} and ffmpeg (scripts/install-deps.sh test installs them)`);
        return kit.SKIP;
    }
    const ruffleDir = path.dirname(require.resolve('@ruffle-rs/ruffle/package.json'));

    fs.mkdirSync(workRoot, {recursive: true});
    const work = fs.mkdtempSync(path.join(path.resolve(workRoot), 'run-'));
    failureShot = path.join(path.resolve(workRoot), 'failed.png');
    const outDir = path.join(work, 'out');
    let server = null;
    let chromium = {};
    const watchdog = setTimeout(() => {
        console.error('the browser test hangs; stopping it');
        if (chromium.browserServer) {
            process.kill(chromium.browserServer.process().pid, 'SIGKILL');
        }
        process.exit(1);
    }, WATCHDOG_MS);

    try {
        const media = makeMedia(work);
        const speed = Math.round(fs.statSync(media.plain.video).size / DURATION / 2);
        const frontSpeed = Math.round(fs.statSync(media.front.video).size / DURATION / 2);
        server = await kit.startServer({'/ruffle/': ruffleDir, '/slow/': outDir, '/front/': outDir, '/broken/': outDir, '/cut/': outDir,
                                        '/': outDir},
                                       {throttle: {'/slow/': speed, '/front/': frontSpeed}, ranges: true, breakOff: {'/broken/': 0.2},
                                        cut: {'/cut/': 0.2}});
        const base = `http://127.0.0.1:${server.address().port}`;
        const ruffleBase = `${base}/ruffle/`;
        const pageUrl = (folder, mount = '/') => `${base}${mount}${encodeURIComponent(path.basename(folder))}/index.htm`;
        // The "&" and the "+" must reach the browser as they were typed.
        const logoLink = `${base}/landing?a=1&b=2+3`;

        chromium = await kit.launchChromium(['--autoplay-policy=no-user-gesture-required']);
        const context = await chromium.browser.newContext({viewport: VIEWPORT});
        const wanted = (name) => !only || only.split(',').includes(name);

        if (wanted('click')) {
            const clickToPlay = publish(cli, media.plain, outDir, {logoLink});
            await checkClickToPlay(context, pageUrl(clickToPlay), ruffleBase, logoLink, screenshot);
            console.log('passed: the end shows the poster; the logo opens its link');
        }

        const autostart = publish(cli, media.plain, outDir, {size: `${WIDTH}x${HEIGHT + 120}`, autoplay: true,
                                                              poster: false, logoAlpha: 100, corner: 'top-right',
                                                              logoWidth: 0});
        if (wanted('poster')) {
            const h264 = {...media.plain, video: path.join(work, 'h264.flv')};
            kit.ffmpeg(['-f', 'lavfi', '-i', `nullsrc=size=${WIDTH}x${HEIGHT}:rate=25:duration=${DURATION},format=gray,` +
                        `geq=lum='if(lt(X\\,W*T/${DURATION})\\,235\\,${GREY[0]})'`,
                        '-c:v', 'libx264', '-pix_fmt', 'yuv420p', '-f', 'flv', h264.video]);
            await checkPosterUntilPicture(context, pageUrl(publish(cli, h264, outDir)), ruffleBase);
            console.log('passed: the poster stays until the first frame of an H.264 video is drawn');
        }

        if (wanted('stall')) {
            const front = publish(cli, media.front, outDir, {size: `${WIDTH}x${HEIGHT + 120}`, autoplay: true,
                                                             poster: false});
            await checkStallResumesInPlace(context, pageUrl(front, '/front/'), ruffleBase);
            console.log('passed: a video that runs out of data waits there and goes on from there');
        }

        if (wanted('end')) {
            await checkEndWithoutPoster(context, pageUrl(autostart), ruffleBase);
            console.log('passed: the end without a poster shows the first frame; a paused seek there is silent');
        }

        if (wanted('slow')) {
            await checkSlowAutostart(context, pageUrl(autostart, '/slow/'), ruffleBase);
            console.log('passed: autostart on a slow server: the busy ring, the bar keeps to the picture, ' +
                        'the logo at its own width in the corner of the picture');
        }

        // Under Ruffle a download that breaks off freezes the whole page, so the player can
        // report it only when its first look at the file (the first 256 KB) breaks off and it
        // never starts playback: the connection drops at 20 % of this 640 KB file.
        if (wanted('broken')) {
            const ms = await checkFailureWhilePlaying(context, pageUrl(autostart, '/broken/'), ruffleBase,
                                                      'The connection broke off while loading the video file',
                                                      'no message for a connection that broke off');
            console.log(`passed: a connection that breaks off mid-file is reported (${ms} ms)`);
        }

        if (wanted('cut')) {
            const ms = await checkFailureWhilePlaying(context, pageUrl(autostart, '/cut/'), ruffleBase,
                                                      'is damaged or cut short; playback stopped.',
                                                      'no message for a video cut short');
            console.log(`passed: a video cut short is reported (${ms} ms)`);
        }

        if (wanted('missing')) {
            const missing = publish(cli, media.plain, outDir);
            const video = path.join(missing, path.basename(media.plain.video));
            fs.renameSync(video, `${video}.away`);
            await checkMissingVideo(context, pageUrl(missing), ruffleBase, server,
                                    `/${path.basename(missing)}/${path.basename(media.plain.video)}`,
                                    () => fs.renameSync(`${video}.away`, video));
            console.log('passed: a missing video is reported over the poster within 2 s; ' +
                        'Enter and a click on the message try it again');
        }

        if (wanted('special')) {
            const special = publish(cli, media.special, outDir, {logoAlpha: 0, logoLink});
            await checkSpecialNames(context, pageUrl(special), ruffleBase);
            const folderPath = `/${path.basename(special)}/`;
            for (const name of ['Episode #3 50% off?.flv', 'cover #1.png', 'logo%.png']) {
                assert.ok(server.requests.includes(folderPath + name), `"${name}" was not asked for`);
            }
            console.log('passed: "#", "%", "?" and blanks in the names over 127.0.0.1; an invisible logo is no link');
        }
        return 0;
    } finally {
        clearTimeout(watchdog);
        await kit.closeChromium(chromium);
        if (server) {
            server.closeAllConnections();
            server.close();
        }
        fs.rmSync(work, {recursive: true, force: true});
    }
}

main().then((code) => process.exit(code), (error) => {
    console.error(error && error.stack ? error.stack : error);
    process.exit(1);
});
