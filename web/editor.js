// The editor in the page: the module's drawn window copied into a canvas, the pointer forwarded as a host's
// window system would, its pop-up menus in a canvas above it, and its two timers.

const kPress = 0, kMove = 1, kRelease = 2, kCaptureLost = 3, kMenuCancel = 3;
const kGateLampTimer = 1, kRefreshTimer = 2;

export class PageEditor {
  // `exports`: a module instance of the page's own; `onEdits(list of [index, value])`: the user's edits.
  constructor(exports, canvas, menuCanvas, onEdits) {
    this.x = exports;
    if (!exports.tamblin_editor_create()) throw new Error('the editor could not be built');
    this.canvas = canvas;
    this.menuCanvas = menuCanvas;
    this.onEdits = onEdits;
    this.width = exports.tamblin_editor_width();
    this.height = exports.tamblin_editor_height();
    const memory = exports.memory.buffer;
    this.pixels = new ImageData(new Uint8ClampedArray(memory, exports.tamblin_editor_pixels(), this.width * this.height * 4),
      this.width, this.height);
    this.dirty = new Int32Array(memory, exports.tamblin_editor_dirty_rect(), 4);
    const maxEdits = exports.tamblin_editor_max_edits();
    this.editIndices = new Int32Array(memory, exports.tamblin_editor_edit_indices(), maxEdits);
    this.editValues = new Float32Array(memory, exports.tamblin_editor_edit_values(), maxEdits);
    this.menuVersion = -1;
    this.pointerDown = false;
    this.context = canvas.getContext('2d');
    this.menuContext = menuCanvas.getContext('2d');
    this.listen();
    setInterval(() => this.after(() => exports.tamblin_editor_timer(kGateLampTimer)), 25);
    setInterval(() => this.after(() => exports.tamblin_editor_timer(kRefreshTimer)), 200);
    this.show();
  }

  // Values the instrument holds, drawn at once.
  setValues(pairs) {
    for (const [index, value] of pairs) this.x.tamblin_editor_set_value(index, value);
    this.after(() => this.x.tamblin_editor_refresh());
  }
  value(index) { return this.x.tamblin_editor_value(index); }
  setGatePosition(steps) { this.x.tamblin_editor_set_gate_position(steps); }

  // The rectangle of a parameter's control in window pixels, or null.
  controlRect(index) {
    if (!this.x.tamblin_editor_control_rect(index)) return null;
    const r = new Int32Array(this.x.memory.buffer, this.x.tamblin_editor_control_rect_values(), 4);
    return { left: r[0], top: r[1], right: r[2], bottom: r[3] };
  }

  // Runs a call into the window, then passes on its edits and shows what it drew.
  after(call) {
    call();
    const count = this.x.tamblin_editor_take_edits();
    if (count > 0) {
      const edits = [];
      for (let k = 0; k < count; ++k) edits.push([this.editIndices[k], this.editValues[k]]);
      this.onEdits(edits);
    }
    this.show();
  }

  show() {
    if (this.x.tamblin_editor_take_dirty()) {
      const [left, top, right, bottom] = this.dirty;
      this.context.putImageData(this.pixels, 0, 0, left, top, right - left, bottom - top);
    }
    const version = this.x.tamblin_editor_menu_version();
    if (version === this.menuVersion) return;
    this.menuVersion = version;
    if (!this.x.tamblin_editor_menu_shown()) {
      this.menuCanvas.hidden = true;
      return;
    }
    const [x, y, width, height] = this.readMenuRect();
    if (width <= 0 || height <= 0) return;
    const memory = this.x.memory.buffer;
    const menu = new ImageData(new Uint8ClampedArray(memory, this.x.tamblin_editor_menu_pixels(), width * height * 4).slice(),
      width, height);
    this.menuCanvas.width = width;
    this.menuCanvas.height = height;
    this.menuCanvas.style.width = `${width}px`;
    this.menuCanvas.style.height = `${height}px`;
    // Top-left at the pointer, moved back to stay inside the page, as a desktop keeps it on screen.
    const box = this.canvas.getBoundingClientRect();
    const roomRight = document.documentElement.clientWidth - box.left;
    const roomBelow = Math.max(window.innerHeight - box.top, this.height);
    this.menuX = Math.max(-box.left, Math.min(x, roomRight - width));
    this.menuY = Math.max(-box.top, Math.min(y, roomBelow - height));
    this.menuCanvas.style.left = `${this.menuX}px`;
    this.menuCanvas.style.top = `${this.menuY}px`;
    this.menuContext.putImageData(menu, 0, 0);
    this.menuCanvas.hidden = false;
  }

  readMenuRect() {
    const r = new Int32Array(this.x.memory.buffer, this.x.tamblin_editor_menu_rect(), 4);
    return [r[0], r[1], r[2], r[3]];
  }

  menuOpen() { return this.x.tamblin_editor_menu_shown() !== 0; }

  // The pointer in window pixels (the canvas is one CSS pixel per window pixel).
  windowPoint(event) {
    const box = this.canvas.getBoundingClientRect();
    return [Math.floor(event.clientX - box.left), Math.floor(event.clientY - box.top)];
  }
  menuPoint(event) {
    const box = this.canvas.getBoundingClientRect();
    return [Math.floor(event.clientX - box.left - this.menuX), Math.floor(event.clientY - box.top - this.menuY)];
  }

  listen() {
    const c = this.canvas;
    const button = (e) => (e.button === 1 ? 1 : e.button === 2 ? 2 : 0);
    const time = (e) => Math.floor(e.timeStamp) >>> 0;
    c.addEventListener('contextmenu', (e) => e.preventDefault());
    this.menuCanvas.addEventListener('contextmenu', (e) => e.preventDefault());
    // While a menu is shown it has the pointer everywhere in the page, as a modal menu does.
    const menuEvent = (kind) => (e) => {
      if (!this.menuOpen()) return false;
      e.preventDefault();
      const [x, y] = this.menuPoint(e);
      this.after(() => this.x.tamblin_editor_menu_pointer(kind, x, y));
      return true;
    };
    const menuPress = menuEvent(kPress), menuMove = menuEvent(kMove), menuRelease = menuEvent(kRelease);
    window.addEventListener('pointerdown', (e) => { if (menuPress(e)) e.stopPropagation(); }, true);
    window.addEventListener('pointermove', (e) => { if (menuMove(e)) e.stopPropagation(); }, true);
    window.addEventListener('pointerup', (e) => { if (menuRelease(e)) e.stopPropagation(); }, true);
    window.addEventListener('keydown', (e) => {
      if (e.key === 'Escape' && this.menuOpen()) this.after(() => this.x.tamblin_editor_menu_pointer(kMenuCancel, 0, 0));
    });
    c.addEventListener('pointerdown', (e) => {
      e.preventDefault();
      c.focus?.();
      const [x, y] = this.windowPoint(e);
      if (button(e) === 0) {
        c.setPointerCapture(e.pointerId);
        this.pointerDown = true;
      }
      this.after(() => this.x.tamblin_editor_pointer(kPress, button(e), e.shiftKey ? 1 : 0, x, y, time(e)));
    });
    c.addEventListener('pointermove', (e) => {
      const [x, y] = this.windowPoint(e);
      this.after(() => this.x.tamblin_editor_pointer(kMove, 0, e.shiftKey ? 1 : 0, x, y, 0));
    });
    c.addEventListener('pointerup', (e) => {
      const [x, y] = this.windowPoint(e);
      if (button(e) === 0) this.pointerDown = false;
      this.after(() => this.x.tamblin_editor_pointer(kRelease, button(e), e.shiftKey ? 1 : 0, x, y, 0));
    });
    // A capture taken away (the page hidden, a touch cancelled) ends a drag without a click.
    const lost = () => {
      if (!this.pointerDown) return;
      this.pointerDown = false;
      this.after(() => this.x.tamblin_editor_pointer(kCaptureLost, 0, 0, 0, 0, 0));
    };
    c.addEventListener('pointercancel', lost);
    c.addEventListener('lostpointercapture', lost);
  }
}
