// The text field: the committed text with its caret, and the input method's composition
// (underlined, with its own cursor) at the caret. Positions are UTF-16 code units, which is
// what JavaScript strings index by, so slicing needs no conversion.
(function (C) {
  'use strict';

  const LINE_HEIGHT = 1.4;
  const PAD_Y = 0.45;
  const PAD_X = 0.75;

  // Every line of the field is exactly this many whole pixels tall, so the view, which is a
  // whole number of lines, always shows whole lines when it scrolls by whole lines.
  function linePx(fontSize) {
    return Math.round(fontSize * LINE_HEIGHT);
  }

  function padPx(fontSize) {
    return Math.round(fontSize * PAD_Y);
  }

  // Height of the field in px for a font size and a number of lines.
  function fieldHeight(fontSize, lines) {
    return lines * linePx(fontSize) + 2 * padPx(fontSize);
  }

  // Largest font size <= wanted whose field of `lines` lines fits in maxHeight.
  function fitFontSize(wanted, lines, maxHeight) {
    let size = Math.max(8, Math.min(wanted, Math.floor(maxHeight / (lines * LINE_HEIGHT + 2 * PAD_Y))));
    while (size > 8 && fieldHeight(size, lines) > maxHeight) size -= 1;
    return size;
  }

  function createTextField(box, view, content) {
    let frame = { op: '', text: '', preedit: '', committed: '', caret: 0, cursor: 0 };
    let opts = { fontSize: 34, lines: 3, widthPx: 800, direction: 'up', scroll: true, font: '' };
    let shown = null; // the frame last drawn, so a redraw does not replay the commit flash

    function setOptions(next) {
      const merged = Object.assign({}, opts, next);
      if (JSON.stringify(merged) === JSON.stringify(opts) && shown) return;
      opts = merged;
      box.style.fontSize = opts.fontSize + 'px';
      box.style.width = Math.round(opts.widthPx) + 'px';
      box.style.height = fieldHeight(opts.fontSize, opts.lines) + 'px';
      box.style.setProperty('--line-px', linePx(opts.fontSize) + 'px');
      box.style.setProperty('--pad-y', padPx(opts.fontSize) + 'px');
      box.style.setProperty('--pad-x', PAD_X + 'em');
      view.style.height = opts.lines * linePx(opts.fontSize) + 'px';
      box.style.fontFamily = opts.font;
      box.dataset.direction = opts.direction;
      box.classList.toggle('smooth', opts.scroll);
      render();
    }

    function setFrame(next) {
      frame = next;
      render();
    }

    function clear() {
      setFrame({ op: 'clear', text: '', preedit: '', committed: '', caret: 0, cursor: 0 });
    }

    // Logical runs of the field: plain text, freshly committed text, and the caret marker.
    function runs() {
      const { text, caret, preedit, cursor, committed, op } = frame;
      const before = text.slice(0, caret);
      const after = text.slice(caret);
      const out = [];
      const fresh = frame !== shown && op === 'commit' && committed.length > 0 && committed.length <= before.length &&
        before.endsWith(committed) ? committed.length : 0;
      out.push({ text: before.slice(0, before.length - fresh) });
      if (fresh) out.push({ text: before.slice(before.length - fresh), cls: 'fresh' });
      out.push({ marker: true });
      out.push({ text: after });
      return out;
    }

    function markerNode() {
      if (!frame.preedit) {
        const caret = document.createElement('span');
        caret.className = 'caret';
        return caret;
      }
      const pre = document.createElement('span');
      pre.className = 'preedit';
      pre.appendChild(document.createTextNode(frame.preedit.slice(0, frame.cursor)));
      const caret = document.createElement('span');
      caret.className = 'caret composing';
      pre.appendChild(caret);
      pre.appendChild(document.createTextNode(frame.preedit.slice(frame.cursor)));
      return pre;
    }

    function render() {
      const paragraphs = [[]];
      for (const run of runs()) {
        if (run.marker) {
          paragraphs[paragraphs.length - 1].push(markerNode());
          continue;
        }
        const parts = run.text.split('\n');
        parts.forEach((part, i) => {
          if (i > 0) paragraphs.push([]);
          if (!part) return;
          if (run.cls) {
            const span = document.createElement('span');
            span.className = run.cls;
            span.textContent = part;
            paragraphs[paragraphs.length - 1].push(span);
          } else {
            paragraphs[paragraphs.length - 1].push(document.createTextNode(part));
          }
        });
      }
      if (opts.direction === 'down') paragraphs.reverse();
      shown = frame;
      const frag = document.createDocumentFragment();
      for (const nodes of paragraphs) {
        const line = document.createElement('div');
        line.className = 'line';
        line.dir = 'auto';
        for (const n of nodes) line.appendChild(n);
        frag.appendChild(line);
      }
      content.textContent = '';
      content.appendChild(frag);
      box.classList.toggle('empty', frame.text === '' && frame.preedit === '');
      follow();
    }

    // Keeps the caret's line in view: "up" shows the newest lines at the bottom, "down" at the
    // top. The view and every offset are whole lines, so no line is ever shown in part.
    function follow() {
      const line = linePx(opts.fontSize);
      const viewH = opts.lines * line;
      // The lines' own boxes, not scrollHeight: the caret reaches a little below its line.
      const contentH = Math.round(content.offsetHeight / line) * line;
      const caret = content.querySelector('.caret');
      let y;
      if (contentH <= viewH) {
        y = opts.direction === 'up' ? viewH - contentH : 0;
      } else {
        let first = opts.direction === 'up' ? (contentH - viewH) / line : 0;
        if (caret) {
          const caretLine = Math.floor((caret.offsetTop + caret.offsetHeight / 2) / line);
          first = Math.min(first, caretLine);
          first = Math.max(first, caretLine - opts.lines + 1);
        }
        first = Math.max(0, Math.min((contentH - viewH) / line, first));
        y = -first * line;
      }
      content.style.transform = 'translateY(' + y + 'px)';
    }

    return { setOptions, setFrame, clear, get frame() { return frame; } };
  }

  C.textfield = { createTextField, fieldHeight, fitFontSize, linePx, LINE_HEIGHT };
})(window.Clackery = window.Clackery || {});
