// Keyboard shortcuts: Ctrl+Z undo, Ctrl+Shift+Z and Ctrl+Y redo, A frames all
// objects, F the selected one. A text field the user has typed into (and not
// yet committed) keeps its own undo; elsewhere Ctrl+Z is the scene's.
const typingTypes = new Set(['text', 'number', 'search', 'email', 'url', 'tel', 'password']);

export function isTypingField(element) {
  if (!element) return false;
  if (element.isContentEditable || element.tagName === 'TEXTAREA') return true;
  return element.tagName === 'INPUT' && typingTypes.has(element.type);
}

// What a key press asks for: 'undo', 'redo', 'frameAll', 'frameSelected' or null.
export function shortcutOf(event, { typing, inField }) {
  const command = event.ctrlKey || event.metaKey;
  const key = event.key.toLowerCase();
  if (command && !event.altKey) {
    if (typing) return null;
    if (key === 'z') return event.shiftKey ? 'redo' : 'undo';
    if (key === 'y' && !event.shiftKey) return 'redo';
    return null;
  }
  if (event.altKey || event.shiftKey || inField) return null;
  if (key === 'a') return 'frameAll';
  if (key === 'f') return 'frameSelected';
  return null;
}

// actions: {undo, redo, frameAll, frameSelected}
export function setUpShortcuts(actions) {
  // A field counts as typed in from its first keystroke until its value is
  // committed ('change') or it loses the focus.
  const typed = new WeakSet();
  document.addEventListener('input', (event) => { if (isTypingField(event.target)) typed.add(event.target); }, true);
  document.addEventListener('change', (event) => typed.delete(event.target), true);
  document.addEventListener('focusout', (event) => typed.delete(event.target), true);

  document.addEventListener('keydown', (event) => {
    const target = document.activeElement;
    const inField = isTypingField(target) || target?.tagName === 'SELECT' || target?.tagName === 'TEXTAREA';
    const action = shortcutOf(event, { typing: isTypingField(target) && typed.has(target), inField });
    if (!action || event.repeat && action.startsWith('frame')) return;
    event.preventDefault();
    actions[action]();
  });
}
