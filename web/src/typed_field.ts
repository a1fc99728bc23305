// A text field that the user types into and that kestrel's state updates. The state's text
// replaces the field's, except while the user is typing there (focused, with typing not yet
// committed): an update that was already on its way, such as the value converted to a newly
// chosen unit, must not undo what the user just typed. The commit then sends the typed text.
// A field whose whole text the user has selected to type over stays selected when replaced.
export class TypedField {
  private typing = false;

  constructor(
    private readonly input: HTMLInputElement | HTMLTextAreaElement,
    public shown: string,
  ) {
    input.value = shown;
    input.addEventListener("input", () => {
      this.typing = true;
    });
    input.addEventListener("blur", () => {
      this.typing = false;
    });
  }

  show(text: string): void {
    this.shown = text;
    if (document.activeElement !== this.input) {
      this.input.value = text;
      return;
    }
    if (this.typing || this.input.value === text) return;
    const { selectionStart, selectionEnd, value } = this.input;
    this.input.value = text;
    if (value !== "" && selectionStart === 0 && selectionEnd === value.length) this.input.select();
  }

  // Ends the typing; true when the field's text differs from the state's.
  commit(): boolean {
    this.typing = false;
    return this.input.value !== this.shown;
  }
}
