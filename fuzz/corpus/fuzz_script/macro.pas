begin
    Fichier('l''été.avi');
    Liste(['a', 'b']);
    Police('Arial', 8, $0000FF, True, False, False, False);
    Cadre(1,3,2,4);
    setPleinEcran(True);
end.
