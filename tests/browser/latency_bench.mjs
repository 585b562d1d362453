// How far the web view lags behind the terminal: a stand-in panel sends 200 report datagrams, as
// 40 slider moves of five hops each (links 6, 4 pulled, 3, 5), to trace_debugger --run --web,
// each after the debugger let the one before go on and the moves 30 ms apart. For every hop the
// time from the datagram to its line on the debugger's output (the baseline) and to the page's
// update (the hop's row added to the list in headless Chromium; and the next frame after it) are
// taken, and the medians and maxima printed with the page's lag behind the terminal. Nothing is
// asserted: it ends non-zero only when it cannot measure.
//
//   node tests/browser/latency_bench.mjs DEBUGGER [MOVES]     (tools/web-latency.sh builds and runs it)
import dgram from 'node:dgram';
import http from 'node:http';
import { Browser, Debugger, now, report, sleep, until } from './debugger.mjs';

const program = process.argv[2];
const moves = Number(process.argv[3] || 40);
if (!program) {
  console.error('usage: node tests/browser/latency_bench.mjs DEBUGGER [MOVES]');
  process.exit(2);
}

const debuggerProcess = new Debugger(program, ['--port', '0', '--web', '0', '--run']);
let browser;
const panel = dgram.createSocket('udp4');
try {
  await debuggerProcess.start();
  browser = await Browser.launch();
  await browser.open(debuggerProcess.url);
  await until('the page to connect', () => browser.page.evaluate(
    () => document.getElementById('status').textContent.startsWith('running')));
  const offset = await browser.clockOffset();
  // The event stream read by a plain HTTP client beside the page: the server's share of the lag.
  const token = await browser.page.evaluate(() => token);
  const streamed = [];
  const stream = http.get(`${debuggerProcess.url}events?token=${token}`, response => {
    response.on('data', chunk => {
      const at = now();
      for (const match of chunk.toString('utf8').matchAll(/^event: hop$/gm)) streamed.push(at);
    });
  });
  stream.on('error', () => {});
  await sleep(200);

  await new Promise(resolve => panel.bind(0, '127.0.0.1', resolve));
  const commands = [];
  let answered = null;
  panel.on('message', message => {
    commands.push(message);
    if (answered) answered();
  });
  const sent = [];
  const send = async datagram => {
    const got = new Promise(resolve => { answered = resolve; });
    sent.push(now());
    panel.send(datagram, debuggerProcess.udpPort, '127.0.0.1');
    await got;
  };
  for (let move = 0; move < moves; move++) {
    const position = 100 + (move % 80);
    await send(report(0x01531200, 2, position));
    await send(report(0x01530D80, 4));
    await send(report(0x01530D80, 3, position));
    await send(report(0x01530E10, 2, `${position}\n`));
    await send(report(0x01530F78, 2, `${position}\n`));
    await sleep(30);
  }
  await until('every hop on the page', async () => (await browser.seenHops()).length >= sent.length, 20000);
  const terminal = debuggerProcess.hopLines();
  const page = await browser.seenHops();
  if (terminal.length !== sent.length || page.length !== sent.length) {
    throw new Error(`${sent.length} hops sent, ${terminal.length} lines, ${page.length} rows on the page`);
  }
  const toTerminal = [], toPage = [], toFrame = [], behind = [], toStream = [];
  for (let i = 0; i < sent.length; i++) {
    if (page[i].text !== terminal[i].text) throw new Error(`hop ${i}: "${page[i].text}" vs "${terminal[i].text}"`);
    toTerminal.push(terminal[i].at - sent[i]);
    toPage.push(page[i].at - offset - sent[i]);
    toFrame.push((page[i].frame || page[i].at) - offset - sent[i]);
    behind.push(page[i].at - offset - terminal[i].at);
    if (i < streamed.length) toStream.push(streamed[i] - sent[i]);
  }
  stream.destroy();
  const median = values => {
    const sorted = [...values].sort((a, b) => a - b);
    const middle = sorted.length >> 1;
    return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
  };
  const max = values => Math.max(...values);
  const ms = value => value.toFixed(2).padStart(8) + ' ms';
  console.log(`${sent.length} hops in ${moves} moves; the page's clock offset ${offset.toFixed(2)} ms (corrected)`);
  console.log('                                  median      maximum');
  console.log(`datagram -> terminal line      ${ms(median(toTerminal))} ${ms(max(toTerminal))}`);
  console.log(`datagram -> event stream read   ${ms(median(toStream))} ${ms(max(toStream))}   (a plain HTTP client)`);
  console.log(`datagram -> page updated       ${ms(median(toPage))} ${ms(max(toPage))}`);
  console.log(`datagram -> next frame         ${ms(median(toFrame))} ${ms(max(toFrame))}`);
  console.log(`page behind the terminal       ${ms(median(behind))} ${ms(max(behind))}   (goal: at most 50 ms at the median)`);
  console.log(`page/terminal ratio (medians): ${(median(toPage) / median(toTerminal)).toFixed(2)}`);
  if (browser.problems.length) console.log('the page reported: ' + browser.problems.join('; '));
} catch (error) {
  console.error('latency_bench: ' + error.message);
  if (debuggerProcess.errors) console.error(debuggerProcess.errors);
  process.exitCode = 1;
} finally {
  panel.close();
  debuggerProcess.stop();
  await Promise.race([debuggerProcess.ended, sleep(5000)]);
  if (browser) await browser.close();
}
